#pragma once

#include <memory>

#include "link/RadioStatus.h"
#include "procedures/Session.h"

namespace varnel {

// The road every exchange with the radio takes: open the session's port, attach it (with the
// session's reporter, clock, cancel token and trace) to the link, run the commands, then either end
// the exchange (EndExchange, detach, close) or abort it after a link failure (detach, close, and no
// EndExchange: a radio that stopped answering would only time out again).
//
// The object owns the port for its lifetime; its destructor takes the abort way when neither End
// nor Abort ran, so the port is closed and the link never keeps a dangling port on any way out,
// an exception included.
class Exchange {
public:
    explicit Exchange(Session& session);
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Opens the session's port. On failure shows the port error (with the reason under it when
    // one is known) and returns false: nothing is sent.
    bool Open();

    CRadioLink& Link() { return m_session.link; }
    Session& GetSession() { return m_session; }

    // Tells the observer that a step begins.
    void Step(ExchangeStep step);
    // Tells the observer that the radio has confirmed a write.
    void WriteConfirmed();

    // The link's status after a failed command, set back to Ok for the next one: Ok means the
    // radio refused or answered unexpectedly, NotSupported that it lacks the parameter,
    // Cancelled that the user stopped the exchange, any other value that the link failed.
    // An unexpected answer is taken along with it (see FailureOutcome).
    RadioStatus TakeStatus();
    // The outcome for a status taken with TakeStatus: as OutcomeOfFailure, except that an
    // answer that makes no sense is a failed link, not a refusal (the bytes on the line stay
    // those of a refusal: the exchange is still ended).
    Outcome FailureOutcome(RadioStatus status) const;
    // The last status taken came with an unexpected answer.
    bool AnsweredUnexpectedly() const { return m_unexpectedAnswer; }
    bool CancelRequested() const;

    // The normal end: EndExchange (its result is not looked at: the link has reported any
    // failure), then detach and close. Does nothing when the port is not open.
    void End();
    // The abort way: detach and close, without EndExchange.
    void Abort();

private:
    void Release();

    Session& m_session;
    std::unique_ptr<IBytePort> m_port;
    bool m_unexpectedAnswer = false;
};

// The outcome for a failed command's status, taken with TakeStatus, when the radio's answer is
// not known: Ok is a refusal.
Outcome OutcomeOfFailure(RadioStatus status);

}  // namespace varnel
