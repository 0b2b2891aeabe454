// The menu commands reach the real dialogs: each command opens its dialog, and the dialog's
// exchange is what goes on the line.
#include <gtest/gtest.h>

#include "strings/StringTable.h"
#include "tests/dialogs/ExchangeFixture.h"

namespace varnel {
namespace {

using test::ExchangeFixture;

TEST(CommandRouting, EachRadioCommandRunsItsOwnDialogsExchange) {
    struct Case {
        int command;
        std::uint8_t firstRead;  // the parameter its dialog reads first
    } cases[] = {
        {ID_RADIO_INFO, 0},
        {ID_PROGRAM_ESN, 2},
        {ID_PROGRAM_REGIONAL_ID, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ExchangeFixture fx;
        // A radio that refuses the first read outright ends each dialog before it is shown.
        fx.line.Answer(test::kNotSupported);
        EXPECT_TRUE(fx.app.DispatchCommand(c.command));
        ASSERT_GE(fx.Written().size(), 4u);
        EXPECT_EQ(std::vector<std::uint8_t>(fx.Written().begin(), fx.Written().begin() + 4),
                  test::ReadRequest(c.firstRead));
        EXPECT_EQ(fx.log.opened, std::vector<std::string>{"COM1"});
        EXPECT_EQ(fx.log.live, 0);
    }
}

TEST(CommandRouting, ExchangesUseThePortIndexOfTheApplication) {
    ExchangeFixture fx;
    fx.portAvailable = false;
    fx.app.m_nSerialPort = 2;
    EXPECT_TRUE(fx.app.DispatchCommand(ID_RADIO_INFO));
    EXPECT_EQ(fx.log.opened, std::vector<std::string>{"COM3"});
    EXPECT_EQ(fx.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_TRUE(fx.Written().empty());
}

}  // namespace
}  // namespace varnel
