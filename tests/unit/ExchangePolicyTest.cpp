#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ScriptedSession.h"
#include "usecases/ExchangePolicy.h"

namespace varnel {
namespace {

// A window in virtual time: the worker runs on the calling thread, posted calls wait for the
// next moment the window serves its events, and the timer fires when the clock passes it. Every
// visible change is logged with its moment.
class VirtualWindow final : public IExchangeHost {
public:
    explicit VirtualWindow(CExchangePolicy& policy) : m_policy(policy) {}

    // The window serves its events up to moment at: posted calls first, then the timers as they
    // come due.
    void AdvanceTo(std::int64_t at) {
        Serve();
        for (;;) {
            auto due = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                if (it->second <= at && (due == m_timers.end() || it->second < due->second)) {
                    due = it;
                }
            }
            if (due == m_timers.end()) {
                break;
            }
            const ExchangeTimer timer = due->first;
            m_now = std::max(m_now, due->second);
            m_timers.erase(due);
            m_policy.TimerFired(timer);
        }
        m_now = std::max(m_now, at);
    }

    std::int64_t boxHeldMs = 0;
    std::vector<std::string> log;

private:
    void RunOnWorker(const std::function<void()>& work) override {
        work();
        Serve();
    }
    void Post(std::function<void()> call) override { m_posted.push_back(std::move(call)); }
    void Call(const std::function<void()>& call) override {
        Serve();
        call();
    }
    void BeginBusy() override { Log("busy"); }
    void EndBusy() override { Log("idle"); }
    void StartTimer(ExchangeTimer timer, std::int64_t ms) override { m_timers[timer] = m_now + ms; }
    void StopTimer(ExchangeTimer timer) override { m_timers.erase(timer); }
    void ShowProgress(const std::string& title, const ProgressStep* first) override {
        Log("progress " + title + ": " + (first != nullptr ? Describe(*first) : "waiting"));
    }
    void ShowStep(const ProgressStep& step) override { Log("step " + Describe(step)); }
    void ShowBox(IMessageReporter& target, const Message& message) override {
        Log("box " + std::string(message.text));
        target.Show(message);
        AdvanceTo(m_now + boxHeldMs);  // the user reads it; the window serves its events
        Log("box gone");
    }

    static std::string Describe(const ProgressStep& step) {
        return step.text + " [" + std::to_string(step.done) + "/" + std::to_string(step.count) +
               "]";
    }
    void Log(const std::string& what) { log.push_back(std::to_string(m_now) + " " + what); }
    void Serve() {
        while (!m_posted.empty()) {
            auto call = std::move(m_posted.front());
            m_posted.pop_front();
            call();
        }
    }

    CExchangePolicy& m_policy;
    std::int64_t m_now = 0;
    std::map<ExchangeTimer, std::int64_t> m_timers;
    std::deque<std::function<void()>> m_posted;
};

// What a procedure does, and when.
struct Action {
    enum Kind { Open, StepOf11, Closing, Box, Close } kind;
    std::int64_t at;
    int number = 0;
};

struct Case {
    const char* name;
    std::vector<Action> script;
    std::int64_t boxHeldMs;
    std::vector<std::string> log;
};

std::vector<std::string> RunScript(const Case& c) {
    CExchangePolicy policy;
    VirtualWindow window(policy);
    window.boxHeldMs = c.boxHeldMs;
    test::ScriptedRadio radio;
    Session session = radio.MakeSession();
    policy.Run(
        window, session,
        [&](Session& s) {
            for (const Action& action : c.script) {
                window.AdvanceTo(action.at);
                switch (action.kind) {
                    case Action::Open:
                        s.observer->ExchangeStarted();
                        break;
                    case Action::StepOf11:
                        s.observer->StepStarted(
                            {"Reading " + std::to_string(action.number), action.number, 11});
                        break;
                    case Action::Closing:
                        s.observer->StepStarted({"Ending", 0, 0});
                        break;
                    case Action::Box:
                        s.reporter.Show(Message{MSG_ERROR, 0, "Varnel", "No port", ""});
                        break;
                    case Action::Close:
                        s.observer->ExchangeFinished();
                        break;
                }
            }
        },
        "Radio Info");
    return window.log;
}

class ExchangePolicyTable : public ::testing::TestWithParam<Case> {};

TEST_P(ExchangePolicyTable, ShowsProgressOnlyWhenItShould) {
    EXPECT_EQ(RunScript(GetParam()), GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, ExchangePolicyTable,
    ::testing::Values(
        Case{"QuickExchangeShowsNone",
             {{Action::Open, 0}, {Action::StepOf11, 0, 1}, {Action::Close, 299}},
             0,
             {"0 busy", "299 idle"}},
        Case{"AfterTheDelayWithTheStepThenCurrent",
             {{Action::Open, 2},
              {Action::StepOf11, 2, 1},
              {Action::StepOf11, 105, 2},
              {Action::StepOf11, 208, 3},
              {Action::StepOf11, 311, 4},
              {Action::Closing, 414},
              {Action::Close, 1415}},
             0,
             {"0 busy", "300 progress Varnel - Radio Info: Reading 3 (3 of 11) [2/11]",
              "351 step Reading 4 (4 of 11) [3/11]", "454 step Ending [0/0]", "1415 idle"}},
        Case{"PortOpenedLateShowsItWhenItOpens",
             {{Action::Open, 450}, {Action::StepOf11, 450, 1}, {Action::Close, 600}},
             0,
             {"0 busy", "450 progress Varnel - Radio Info: waiting",
              "490 step Reading 1 (1 of 11) [0/11]", "600 idle"}},
        // The port could not be opened, and its box is held past the delay: no empty progress
        // window may come up behind it, nor after it.
        Case{"PortErrorBoxHeldPastTheDelayShowsNone",
             {{Action::Box, 20}},
             500,
             {"0 busy", "20 box No port", "520 box gone", "520 idle"}},
        Case{"BoxDuringTheExchangeHoldsItUntilDismissed",
             {{Action::Open, 0},
              {Action::StepOf11, 0, 1},
              {Action::Box, 100},
              {Action::StepOf11, 700, 2},
              {Action::Close, 800}},
             500,
             {"0 busy", "100 box No port", "600 box gone",
              "600 progress Varnel - Radio Info: Reading 1 (1 of 11) [0/11]",
              "740 step Reading 2 (2 of 11) [1/11]", "800 idle"}},
        Case{
            "BoxAfterThePortClosedShowsNone",
            {{Action::Open, 0}, {Action::StepOf11, 0, 1}, {Action::Close, 100}, {Action::Box, 110}},
            500,
            {"0 busy", "110 box No port", "610 box gone", "610 idle"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(StepText, NumbersTheStepsOfACountedExchange) {
    EXPECT_EQ(StepText({"Reading Software Version", 3, 11}), "Reading Software Version (3 of 11)");
    EXPECT_EQ(StepText({"Ending the exchange", 0, 0}), "Ending the exchange");
}

// Cancel reaches the worker's session and nothing else; a close asked for meanwhile is held and
// cancels, and once the exchange is over it is not held.
TEST(ExchangePolicy, CancelAndCloseStopTheRunningExchangeOnly) {
    CExchangePolicy policy;
    VirtualWindow window(policy);
    test::ScriptedRadio radio;
    Session session = radio.MakeSession();
    policy.Cancel();  // none runs: nothing to stop, nothing kept for the next one
    EXPECT_FALSE(policy.HoldClose());
    for (const bool viaClose : {false, true}) {
        bool cancelledAtStart = true;
        bool cancelledAfter = false;
        bool held = false;
        policy.Run(
            window, session,
            [&](Session& s) {
                cancelledAtStart = s.cancel->IsCancelled();
                if (viaClose) {
                    held = policy.HoldClose();
                } else {
                    policy.Cancel();
                }
                cancelledAfter = s.cancel->IsCancelled();
            },
            "Radio Info");
        EXPECT_FALSE(cancelledAtStart) << viaClose;
        EXPECT_TRUE(cancelledAfter) << viaClose;
        EXPECT_EQ(held, viaClose);
    }
    EXPECT_FALSE(policy.HoldClose());
    EXPECT_FALSE(policy.IsRunning());
}

// The session's own reporter and observer still hear everything, and a procedure that throws
// leaves the window as it found it.
TEST(ExchangePolicy, ForwardsToTheSessionAndEndsOnEveryWayOut) {
    CExchangePolicy policy;
    VirtualWindow window(policy);
    test::ScriptedRadio radio;
    Session session = radio.MakeSession();
    struct Counting final : IExchangeObserver {
        void ExchangeStarted() override { ++events; }
        void StepStarted(const ExchangeStep&) override { ++events; }
        void WriteConfirmed() override { ++events; }
        void ExchangeFinished() override { ++events; }
        int events = 0;
    } observer;
    session.observer = &observer;
    EXPECT_THROW(policy.Run(
                     window, session,
                     [](Session& s) {
                         s.observer->ExchangeStarted();
                         s.observer->StepStarted({"Reading", 1, 1});
                         s.reporter.Show(Message{MSG_ERROR, 7, "Varnel", "Broken", ""});
                         s.observer->WriteConfirmed();
                         s.observer->ExchangeFinished();
                         throw std::runtime_error("out");
                     },
                     "Radio Info"),
                 std::runtime_error);
    EXPECT_EQ(observer.events, 4);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{7});
    EXPECT_EQ(window.log.back(), "0 idle");
    EXPECT_FALSE(policy.IsRunning());
}

// Enter on the progress window's Cancel stops the exchange until the radio confirms a write: from
// then on, already while the box that says so is up, and for the rest of that exchange only.
TEST(ExchangePolicy, EnterNoLongerCancelsOnceAWriteIsConfirmed) {
    CExchangePolicy policy;
    VirtualWindow window(policy);
    test::ScriptedRadio radio;
    Session session = radio.MakeSession();
    std::vector<bool> enterCancels;
    radio.reporter.OnShow([&] { enterCancels.push_back(policy.EnterCancels()); });
    policy.Run(
        window, session,
        [&](Session& s) {
            s.observer->ExchangeStarted();
            enterCancels.push_back(policy.EnterCancels());
            s.reporter.Show(Message{MSG_ERROR, 1, "Error", "No answer", ""});
            s.observer->WriteConfirmed();
            s.reporter.Show(Message{MSG_INFO, 2, "Varnel", "Written", ""});
            s.observer->StepStarted({"Ending", 0, 0});
            enterCancels.push_back(policy.EnterCancels());
            s.observer->ExchangeFinished();
        },
        "Program ESN");
    EXPECT_EQ(enterCancels, (std::vector<bool>{true, true, false, false}));
    policy.Run(
        window, session, [&](Session&) { enterCancels.push_back(policy.EnterCancels()); },
        "Program ESN");
    EXPECT_EQ(enterCancels.back(), true);
}

}  // namespace
}  // namespace varnel
