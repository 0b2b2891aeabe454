#include <gtest/gtest.h>

#ifndef _WIN32
#include <poll.h>
#endif

#include <cstdint>
#include <functional>

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/RadioLink.h"
#include "tests/support/ScriptedSession.h"

namespace varnel {
namespace {

using test::kAck;

class Cancel : public ::testing::Test, protected test::ScriptedLink {
protected:
    CancelToken token;
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;

    void SetUp() override { link.m_pCancel = &token; }
};

TEST_F(Cancel, ACancelledLinkSendsNothingWaitsForNothingAndShowsNothing) {
    token.Cancel();
    const std::uint8_t payload[] = {4, 1};
    const struct {
        const char* name;
        std::function<bool()> run;
    } commands[] = {
        {"read", [&] { return link.ReadParameter(value, 0, length, false); }},
        {"write", [&] { return link.WriteParameter(payload, 2); }},
        {"end", [&] { return link.EndExchange(); }},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        EXPECT_FALSE(command.run());
        EXPECT_EQ(link.m_status, RadioStatus::Cancelled);
    }
    EXPECT_TRUE(port.Written().empty());
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(clock.NowMs(), 0);
}

TEST_F(Cancel, ACancelWhileWaitingForTheRadioEndsTheCommandQuietly) {
    test::CancelOnSilencePort line(port, token);
    link.m_pPort = &line;
    port.Answer(kAck);  // then silence, during which the user cancels
    EXPECT_FALSE(link.ReadParameter(value, 3, length, false));
    EXPECT_EQ(link.m_status, RadioStatus::Cancelled);
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(port.EmptyReads(), 1);  // no second read, no settle wait
    EXPECT_EQ(port.Written(), test::ReadRequest(3));
}

TEST_F(Cancel, WaitsEndSoonAfterACancel) {
    // A clock on which the user cancels 300 ms into the wait.
    struct CancellingClock final : IClock {
        test::FakeClock& clock;
        CancelToken& token;
        CancellingClock(test::FakeClock& c, CancelToken& t) : clock(c), token(t) {}
        std::int64_t NowMs() override { return clock.NowMs(); }
        void SleepMs(std::int64_t ms) override {
            clock.SleepMs(ms);
            if (clock.NowMs() >= 300) {
                token.Cancel();
            }
        }
    } cancelling(clock, token);
    EXPECT_FALSE(WaitMs(cancelling, 1000, &token));
    EXPECT_GE(clock.NowMs(), 300);
    EXPECT_LE(clock.NowMs(), 300 + kCancelSliceMs);

    CancelToken untouched;
    test::FakeClock other;
    EXPECT_TRUE(WaitMs(other, 1000, &untouched));
    EXPECT_GT(other.NowMs(), 1001);
}

#ifndef _WIN32
TEST(CancelToken, ItsHandleBecomesReadableOnCancel) {
    CancelToken token;
    pollfd pfd{token.WaitHandle(), POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
    EXPECT_FALSE(token.IsCancelled());
    token.Cancel();
    token.Cancel();  // twice is harmless
    EXPECT_EQ(::poll(&pfd, 1, 0), 1);
    EXPECT_TRUE(token.IsCancelled());
}
#endif

}  // namespace
}  // namespace varnel
