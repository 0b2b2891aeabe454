#include "procedures/Exchange.h"

#include <utility>

namespace varnel {

Exchange::Exchange(Session& session) : m_session(session) {}

Exchange::~Exchange() {
    Release();
}

bool Exchange::Open() {
    Release();
    PortOpenResult opened = m_session.openPort
                                ? m_session.openPort(m_session.portName, m_session.cancel)
                                : PortOpenResult{nullptr, {}};
    if (!opened.port) {
        ShowPortError(m_session.reporter, m_session.portName, opened.detail);
        return false;
    }
    m_port = std::move(opened.port);
    CRadioLink& link = m_session.link;
    link.m_pReporter = &m_session.reporter;
    link.m_pClock = &m_session.clock;
    link.m_pCancel = m_session.cancel;
    link.m_pTrace = m_session.trace;
    link.m_pPort = m_port.get();
    link.m_unexpectedAnswer = false;  // what an earlier exchange left is no answer of this one
    m_unexpectedAnswer = false;
    if (m_session.observer != nullptr) {
        m_session.observer->ExchangeStarted();
    }
    return true;
}

void Exchange::Step(ExchangeStep step) {
    if (m_session.observer != nullptr) {
        m_session.observer->StepStarted(step);
    }
}

void Exchange::WriteConfirmed() {
    if (m_session.observer != nullptr) {
        m_session.observer->WriteConfirmed();
    }
}

RadioStatus Exchange::TakeStatus() {
    m_unexpectedAnswer = std::exchange(m_session.link.m_unexpectedAnswer, false);
    return std::exchange(m_session.link.m_status, RadioStatus::Ok);
}

Outcome Exchange::FailureOutcome(RadioStatus status) const {
    if (status == RadioStatus::Ok && m_unexpectedAnswer) {
        return Outcome::LinkFailed;
    }
    return OutcomeOfFailure(status);
}

bool Exchange::CancelRequested() const {
    return m_session.cancel != nullptr && m_session.cancel->IsCancelled();
}

void Exchange::End() {
    if (!m_port) {
        return;
    }
    Step({"Ending the exchange", 0, 0});
    m_session.link.EndExchange();
    Release();
}

void Exchange::Abort() {
    Release();
}

void Exchange::Release() {
    if (!m_port) {
        return;
    }
    // Detach before closing: the link must never hold a port that is gone.
    CRadioLink& link = m_session.link;
    link.m_pPort = nullptr;
    link.m_pCancel = nullptr;
    link.m_pTrace = nullptr;
    // The session's reporter and clock may not outlive it, and a link left holding them would
    // tell or time the next exchange through them.
    link.m_pReporter = nullptr;
    link.m_pClock = nullptr;
    if (link.m_status == RadioStatus::Cancelled) {
        link.m_status = RadioStatus::Ok;  // the next exchange starts afresh
    }
    m_port.reset();
    if (m_session.observer != nullptr) {
        m_session.observer->ExchangeFinished();
    }
}

Outcome OutcomeOfFailure(RadioStatus status) {
    switch (status) {
        case RadioStatus::Ok:  // a NAK or an unexpected answer
        case RadioStatus::NotSupported:
        case RadioStatus::WriteRejected:
            return Outcome::Refused;
        case RadioStatus::Cancelled:
            return Outcome::Cancelled;
        default:
            return Outcome::LinkFailed;
    }
}

}  // namespace varnel
