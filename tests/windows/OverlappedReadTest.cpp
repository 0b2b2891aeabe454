// A pending read on Windows, against drivers that behave as Wine's cannot be made to: one that
// never hands a cancelled read back must cost a bounded wait, never the window for good.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "link/OverlappedRead.h"

namespace varnel {
namespace {

constexpr DWORD kReadMs = 2000;
constexpr DWORD kCancelMs = 1000;

// Answers each wait with the next of its script (WAIT_TIMEOUT once the script is used up, as a
// driver that never completes), and logs every call.
class ScriptedDriver final : public IReadCompletion {
public:
    std::deque<DWORD> wakes;
    DWORD delivered = 0;
    DWORD failure = 0;  // the read's error once collected, 0 for success
    std::vector<std::string> log;

    DWORD WaitAny(const HANDLE*, DWORD count, DWORD ms) override {
        log.push_back("wait " + std::to_string(count) + " " +
                      (ms == INFINITE ? std::string("forever") : std::to_string(ms)));
        if (wakes.empty()) {
            return WAIT_TIMEOUT;
        }
        const DWORD woke = wakes.front();
        wakes.pop_front();
        return woke;
    }
    void Cancel(HANDLE, OVERLAPPED&) override { log.push_back("cancel"); }
    bool Collect(HANDLE, OVERLAPPED&, DWORD& got, DWORD& error) override {
        log.push_back("collect");
        got = delivered;
        error = failure;
        return failure == 0;
    }
};

struct Case {
    const char* name;
    std::deque<DWORD> wakes;
    bool withCancelToken;
    DWORD delivered;
    DWORD failure;
    std::vector<std::string> calls;
    DWORD got;
    DWORD error;
    bool abandoned;
};

TEST(OverlappedRead, EveryWaitIsBoundedAndAKeptReadIsGivenUp) {
    const Case cases[] = {
        {"a byte in time", {WAIT_OBJECT_0}, true, 1, 0, {"wait 2 2000", "collect"}, 1, 0, false},
        {"silent past the bound, handed back once cancelled",
         {WAIT_TIMEOUT, WAIT_OBJECT_0},
         false,
         0,
         ERROR_OPERATION_ABORTED,
         {"wait 1 2000", "cancel", "wait 1 1000", "collect"},
         0,
         0,
         false},
        {"the user cancels, a byte came meanwhile",
         {WAIT_OBJECT_0 + 1, WAIT_OBJECT_0},
         true,
         1,
         ERROR_OPERATION_ABORTED,
         {"wait 2 2000", "cancel", "wait 1 1000", "collect"},
         1,
         0,
         false},
        {"a driver that keeps the cancelled read",
         {WAIT_TIMEOUT},
         false,
         0,
         0,
         {"wait 1 2000", "cancel", "wait 1 1000"},
         0,
         ERROR_IO_DEVICE,
         true},
        {"a wait that fails is no wait for ever",
         {WAIT_FAILED, WAIT_FAILED},
         true,
         0,
         0,
         {"wait 2 2000", "cancel", "wait 1 1000"},
         0,
         ERROR_IO_DEVICE,
         true},
        {"an adapter pulled out under the read",
         {WAIT_OBJECT_0},
         false,
         0,
         ERROR_DEVICE_REMOVED,
         {"wait 1 2000", "collect"},
         0,
         ERROR_DEVICE_REMOVED,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDriver driver;
        driver.wakes = c.wakes;
        driver.delivered = c.delivered;
        driver.failure = c.failure;
        OVERLAPPED ov{};
        int token = 0;  // any handle will do: the driver never looks at them
        const HANDLE cancel = c.withCancelToken ? static_cast<HANDLE>(&token) : nullptr;
        const PendingReadEnd end =
            FinishPendingRead(driver, nullptr, ov, cancel, kReadMs, kCancelMs);
        EXPECT_EQ(driver.log, c.calls);
        EXPECT_EQ(end.got, c.got);
        EXPECT_EQ(end.error, c.error);
        EXPECT_EQ(end.abandoned, c.abandoned);
    }
}

}  // namespace
}  // namespace varnel
