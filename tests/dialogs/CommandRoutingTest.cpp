// The application's commands reach the real dialogs: each command opens its own dialog, owned by
// the main window, on the port of the application's setting, and the dialog's exchange is what
// goes on the line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <ostream>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/VarnelApp.h"
#include "procedures/RadioInfo.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadAnswer;

struct RouteCase {
    const char* name;
    int command;
    int dialogId;  // the template of the dialog that opens
    int portIndex;
    std::vector<std::vector<int>> answers;  // the radio's, in order
    std::vector<std::string> opened;        // the ports the exchanges asked for
    Bytes written;
};

void PrintTo(const RouteCase& c, std::ostream* os) {
    *os << c.name;
}

RouteCase RadioInfoRoute() {
    RouteCase c{"RadioInfo", ID_RADIO_INFO, 132, 0, {}, {"COM1"}, {}};
    for (const RadioInfoQuery& query : kRadioInfoQueries) {
        c.answers.push_back(ReadAnswer(std::string("x")));
        c.written = test::Join({c.written, test::ReadRequest(query.id)});
    }
    c.answers.push_back(test::kAck);
    c.written = test::Join({c.written, test::kEnd});
    return c;
}

class CommandRouting : public ::testing::TestWithParam<RouteCase> {};

TEST_P(CommandRouting, EachCommandOpensItsDialogAndRunsItsExchange) {
    const RouteCase& c = GetParam();
    test::ClearSettings();
    test::ScriptedRadio radio;
    for (const auto& answer : c.answers) {
        radio.line.Answer(answer);
    }
    QTemporaryDir noDevices;  // the Configuration dialog finds no port on this machine
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    app.SetPortOpener(radio.Opener());
    app.SetPortResolver([folder = noDevices.path().toStdString()](const std::string& portName) {
        return folder + "/" + portName;
    });
    app.SetClock(radio.clock);
    app.m_nSerialPort = c.portIndex;

    int shownId = 0;
    QWidget* owner = nullptr;
    test::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shownId = dialog->Template().id;
        owner = dialog->parentWidget();
        dialog->OnCancel();
    });
    EXPECT_TRUE(app.DispatchCommand(c.command));
    EXPECT_EQ(shownId, c.dialogId);
    EXPECT_EQ(owner, app.GetMainWnd());
    EXPECT_EQ(radio.log.opened, c.opened);
    EXPECT_EQ(radio.log.live, 0);
    EXPECT_EQ(radio.Written(), c.written);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    app.ExitInstance();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandRouting,
    ::testing::Values(RadioInfoRoute(),
                      RouteCase{"ProgramEsn",
                                ID_PROGRAM_ESN,
                                133,
                                2,
                                {ReadAnswer(std::vector<int>{0, 0, 0, 0, 0}), test::kAck},
                                {"COM3"},
                                test::Join({test::ReadRequest(2), test::kEnd})},
                      RouteCase{"ProgramRegionalId",
                                ID_PROGRAM_REGIONAL_ID,
                                134,
                                3,
                                {ReadAnswer(std::vector<int>{0xFF}), test::kAck},
                                {"COM4"},
                                test::Join({test::ReadRequest(16), test::kEnd})},
                      // Choosing a port or a registry talks to no radio.
                      RouteCase{"Configuration", ID_CONFIGURATION, 130, 1, {}, {}, {}},
                      RouteCase{"EsnRegistry", ID_ESN_REGISTRY, 136, 1, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
