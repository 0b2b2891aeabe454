#include <gtest/gtest.h>

#include <QApplication>

#include <stdexcept>

#include "dialogs/RadioExchange.h"
#include "strings/StringTable.h"
#include "tests/dialogs/ExchangeFixture.h"

namespace varnel {
namespace {

using test::ExchangeFixture;

bool WaitCursorUp() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

TEST(RadioExchange, PortThatDoesNotOpenShowsItsNameAndSendsNothing) {
    ExchangeFixture f;
    f.app.m_nSerialPort = 1;
    f.portAvailable = false;
    bool ran = false;
    auto outcome = CRadioExchange::Run([&](CRadioLink&) { return ran = true; });
    EXPECT_EQ(outcome, CRadioExchange::Outcome::PortNotOpened);
    EXPECT_FALSE(ran);
    EXPECT_EQ(f.log.opened, std::vector<std::string>{"COM2"});
    ASSERT_EQ(f.reporter.Messages().size(), 1u);
    const auto& box = f.reporter.Messages()[0];
    EXPECT_EQ(box.id, IDS_PORT_OPEN_FAILED);
    EXPECT_EQ(box.kind, MSG_ERROR);
    EXPECT_EQ(box.text,
              "The serial port COM2 could not be opened.\nIt may be in use by another program.");
    EXPECT_FALSE(box.waitCursor);
    EXPECT_TRUE(f.Written().empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Both ways out leave the link detached, the port closed and the cursor normal; only the normal
// end sends the end-of-exchange request.
TEST(RadioExchange, EndSendsEndOfExchangeAbortDoesNot) {
    for (bool end : {true, false}) {
        SCOPED_TRACE(end ? "end" : "abort");
        ExchangeFixture f;
        f.line.Answer(test::kAck);
        bool attached = false;
        bool cursorUp = false;
        auto outcome = CRadioExchange::Run([&](CRadioLink& link) {
            attached = link.m_pPort != nullptr && f.log.live == 1;
            cursorUp = WaitCursorUp();
            return end;
        });
        EXPECT_EQ(outcome, end ? CRadioExchange::Outcome::Ended : CRadioExchange::Outcome::Aborted);
        EXPECT_TRUE(attached);
        EXPECT_TRUE(cursorUp);
        const std::vector<std::uint8_t> expected =
            end ? std::vector<std::uint8_t>{0xF1, 0x10, 0xFE} : std::vector<std::uint8_t>{};
        EXPECT_EQ(f.Written(), expected);
        EXPECT_EQ(g_radioLink.m_pPort, nullptr);
        EXPECT_EQ(f.log.live, 0);
        EXPECT_EQ(f.log.closed, 1);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(f.reporter.Messages().empty());
        if (end) {
            EXPECT_GT(f.clock.NowMs(), 1001);  // the second after the acknowledge is waited out
        }
    }
}

TEST(RadioExchange, ExceptionInCommandsStillClosesThePort) {
    ExchangeFixture f;
    EXPECT_THROW(CRadioExchange::Run([](CRadioLink&) -> bool { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_EQ(g_radioLink.m_pPort, nullptr);
    EXPECT_EQ(f.log.live, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(f.Written().empty());
}

TEST(RadioExchange, TakeStatusHandsOverTheFailureAndClearsIt) {
    ExchangeFixture f;
    CRadioExchange exchange;
    ASSERT_TRUE(exchange.Open());
    EXPECT_EQ(exchange.PortName(), "COM1");
    g_radioLink.m_status = RadioStatus::NoResponse;
    EXPECT_EQ(exchange.TakeStatus(), RadioStatus::NoResponse);
    EXPECT_EQ(g_radioLink.m_status, RadioStatus::Ok);
}

}  // namespace
}  // namespace varnel
