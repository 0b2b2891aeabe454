#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "procedures/Session.h"

namespace varnel {

// The text of a step as every front end shows it: "Reading Software Version (3 of 11)", or the
// description alone for the closing step.
std::string StepText(const ExchangeStep& step);

// What the progress window shows of a step: its text, and the bar at done of count; count 0
// fills the bar.
struct ProgressStep {
    std::string text;
    int done = 0;
    int count = 0;
};

// The policy's two timers: the delay before the progress window, and the moment a step is drawn.
enum class ExchangeTimer { Progress, Step };

// What a window lends an exchange: a worker thread, a way back to its own thread, a timer and a
// progress window. Everything but RunOnWorker's work and the two calls back is called on the
// window's thread.
class IExchangeHost {
public:
    virtual ~IExchangeHost() = default;

    // Runs work on a worker thread and serves the window's events until it has returned.
    virtual void RunOnWorker(const std::function<void()>& work) = 0;
    // From the worker: runs call on the window's thread, in the order given, and returns at once.
    virtual void Post(std::function<void()> call) = 0;
    // From the worker: runs call on the window's thread and returns once it has returned.
    virtual void Call(const std::function<void()>& call) = 0;

    // The windows take no input and show that they are busy; EndBusy undoes it, and closes the
    // progress window if one was shown.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // Calls the policy's TimerFired(timer) once, when ms have gone by; StopTimer stops it if it
    // has not fired yet. The two timers run apart.
    virtual void StartTimer(ExchangeTimer timer, std::int64_t ms) = 0;
    virtual void StopTimer(ExchangeTimer timer) = 0;

    // Shows the progress window titled title, with Cancel, at step first; without a step yet
    // (null), its bar just says that something runs.
    virtual void ShowProgress(const std::string& title, const ProgressStep* first) = 0;
    // Moves the progress window on to step.
    virtual void ShowStep(const ProgressStep& step) = 0;
    // Shows message through target and returns once the user has dismissed it.
    virtual void ShowBox(IMessageReporter& target, const Message& message) = 0;
};

// How a window runs an exchange, whatever toolkit draws it:
// - the procedure runs on the host's worker; its messages are shown on the window's thread at the
//   moment they are raised, and the exchange waits for each box to be dismissed;
// - the progress window comes kProgressDelayMs after the start, and only once the port is open
//   and no box is up: it never covers a box that waits for the user, nor shows a port that could
//   not be opened; it follows every step from then on, each kStepDrawDelayMs after the step
//   begins: by then the request and its answer are off the line and the link rests for the
//   settle wait, so that drawing never competes with the exchange for the processor;
// - Cancel stops the exchange at once, without ending it on the radio; so does closing a window
//   meanwhile, which is then closed once the exchange has ended;
// - once the radio has confirmed a write, Enter no longer presses Cancel: only the end of the
//   exchange is left, and the Enter that dismissed the box telling of the write, pressed once
//   more or held down, would otherwise skip it.
class CExchangePolicy {
public:
    static constexpr std::int64_t kProgressDelayMs = 300;
    static constexpr std::int64_t kStepDrawDelayMs = 40;

    // Runs procedure on a copy of session that reports, observes and cancels through this
    // policy; the progress window is titled "Varnel - " + commandName. Nothing when an exchange
    // already runs: input is shut out then, so a second one cannot be asked for.
    void Run(IExchangeHost& host, Session& session, const std::function<void(Session&)>& procedure,
             const std::string& commandName);

    bool IsRunning() const { return m_running; }
    // Whether Enter on the progress window's Cancel still stops the exchange: until the radio
    // confirms a write. May be asked from any thread.
    bool EnterCancels() const { return !m_writeConfirmed; }
    bool ProgressShown() const { return m_progressShown; }

    // Stops the running exchange; nothing when none runs.
    void Cancel();
    // A window is asked to close while an exchange may run: true when it must stay until the
    // exchange has ended (the exchange is cancelled), false when it may close now.
    bool HoldClose();

    // From the host, on the window's thread: a timer of StartTimer has run out.
    void TimerFired(ExchangeTimer timer);

private:
    class Reporter;
    class Observer;

    void PortOpened();
    void PortClosed();
    void Step(const ExchangeStep& step);
    void BoxUp();
    void BoxDown();
    void MaybeShowProgress();
    ProgressStep LastStep() const;

    IExchangeHost* m_host = nullptr;
    std::function<void()> m_requestCancel;
    bool m_running = false;
    // Set on the worker, before the box that tells of the write is raised: no key given to that
    // box can come before it.
    std::atomic<bool> m_writeConfirmed = false;
    bool m_delayPassed = false;
    bool m_portOpen = false;
    bool m_progressShown = false;
    bool m_stepDue = false;
    int m_boxesUp = 0;
    std::string m_title;
    std::optional<ExchangeStep> m_lastStep;
};

}  // namespace varnel
