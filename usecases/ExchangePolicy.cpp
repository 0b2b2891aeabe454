#include "usecases/ExchangePolicy.h"

#include <exception>

#include "link/CancelToken.h"

namespace varnel {

std::string StepText(const ExchangeStep& step) {
    if (step.count <= 0) {
        return step.description;
    }
    return step.description + " (" + std::to_string(step.number) + " of " +
           std::to_string(step.count) + ")";
}

// Shows each message on the window's thread and holds the exchange until it is dismissed.
class CExchangePolicy::Reporter final : public IMessageReporter {
public:
    Reporter(CExchangePolicy& policy, IMessageReporter& target)
        : m_policy(policy), m_target(target) {}

    void Show(const Message& message) override {
        // The texts stay valid: this thread waits until the box is gone.
        m_policy.m_host->Call([this, &message] {
            m_policy.BoxUp();
            m_policy.m_host->ShowBox(m_target, message);
            m_policy.BoxDown();
        });
    }

private:
    CExchangePolicy& m_policy;
    IMessageReporter& m_target;
};

// Passes the port's state and each step to the window's thread, and on to the session's own
// observer.
class CExchangePolicy::Observer final : public IExchangeObserver {
public:
    Observer(CExchangePolicy& policy, IExchangeObserver* next) : m_policy(policy), m_next(next) {}

    void ExchangeStarted() override {
        m_policy.m_host->Post([policy = &m_policy] { policy->PortOpened(); });
        if (m_next != nullptr) {
            m_next->ExchangeStarted();
        }
    }
    void StepStarted(const ExchangeStep& step) override {
        m_policy.m_host->Post([policy = &m_policy, step] { policy->Step(step); });
        if (m_next != nullptr) {
            m_next->StepStarted(step);
        }
    }
    void WriteConfirmed() override {
        m_policy.m_writeConfirmed = true;
        if (m_next != nullptr) {
            m_next->WriteConfirmed();
        }
    }
    void ExchangeFinished() override {
        m_policy.m_host->Post([policy = &m_policy] { policy->PortClosed(); });
        if (m_next != nullptr) {
            m_next->ExchangeFinished();
        }
    }

private:
    CExchangePolicy& m_policy;
    IExchangeObserver* m_next;
};

void CExchangePolicy::Run(IExchangeHost& host, Session& session,
                          const std::function<void(Session&)>& procedure,
                          const std::string& commandName) {
    if (m_running) {
        return;
    }
    CancelToken cancel;
    m_host = &host;
    Reporter reporter(*this, session.reporter);
    Observer observer(*this, session.observer);
    Session onWorker(session.link, reporter, session.clock, session.openPort, session.portName);
    onWorker.observer = &observer;
    onWorker.cancel = &cancel;
    onWorker.trace = session.trace;
    // The registry is called from the worker alone while the exchange runs.
    onWorker.registry = session.registry;
    onWorker.origin = session.origin;

    m_running = true;
    m_writeConfirmed = false;
    m_delayPassed = false;
    m_portOpen = false;
    m_progressShown = false;
    m_stepDue = false;
    m_boxesUp = 0;
    m_title = "Varnel - " + commandName;
    m_lastStep.reset();
    m_requestCancel = [&cancel] { cancel.Cancel(); };

    host.BeginBusy();
    host.StartTimer(ExchangeTimer::Progress, kProgressDelayMs);
    std::exception_ptr failure;
    host.RunOnWorker([&] {
        try {
            procedure(onWorker);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    host.StopTimer(ExchangeTimer::Progress);
    host.StopTimer(ExchangeTimer::Step);
    m_stepDue = false;
    m_requestCancel = nullptr;
    m_running = false;
    host.EndBusy();
    m_progressShown = false;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void CExchangePolicy::Cancel() {
    if (m_requestCancel) {
        m_requestCancel();
    }
}

bool CExchangePolicy::HoldClose() {
    if (!m_running) {
        return false;
    }
    Cancel();
    return true;
}

void CExchangePolicy::TimerFired(ExchangeTimer timer) {
    if (!m_running) {
        return;
    }
    if (timer == ExchangeTimer::Progress) {
        m_delayPassed = true;
        MaybeShowProgress();
    } else if (m_stepDue) {
        m_stepDue = false;
        m_host->ShowStep(LastStep());
    }
}

void CExchangePolicy::PortOpened() {
    m_portOpen = true;
    MaybeShowProgress();
}

void CExchangePolicy::PortClosed() {
    m_portOpen = false;
}

void CExchangePolicy::Step(const ExchangeStep& step) {
    m_lastStep = step;
    if (m_progressShown && !m_stepDue) {
        // Steps that come faster than that are drawn once, as the last of them.
        m_stepDue = true;
        m_host->StartTimer(ExchangeTimer::Step, kStepDrawDelayMs);
    }
}

void CExchangePolicy::BoxUp() {
    ++m_boxesUp;
}

void CExchangePolicy::BoxDown() {
    --m_boxesUp;
    MaybeShowProgress();
}

void CExchangePolicy::MaybeShowProgress() {
    if (!m_running || m_progressShown || !m_delayPassed || !m_portOpen || m_boxesUp > 0) {
        return;
    }
    m_progressShown = true;
    if (m_lastStep) {
        const ProgressStep first = LastStep();
        m_host->ShowProgress(m_title, &first);
    } else {
        m_host->ShowProgress(m_title, nullptr);
    }
}

ProgressStep CExchangePolicy::LastStep() const {
    ProgressStep step;
    step.text = StepText(*m_lastStep);
    step.count = m_lastStep->count > 0 ? m_lastStep->count : 0;
    step.done = step.count > 0 ? m_lastStep->number - 1 : 0;
    return step;
}

}  // namespace varnel
