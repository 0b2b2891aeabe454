// varnel.exe's exchange runner with its real windows and message loop, under Wine: the progress
// window waits for an open port and for no box being up.
#include <gtest/gtest.h>

#include <vector>

#include "procedures/RadioInfo.h"
#include "strings/StringTable.h"
#include "tests/support/ScriptedSession.h"
#include "win32/ExchangeRunner.h"

namespace varnel {
namespace {

// Serves the thread's messages for ms, as a box does while the user reads it.
void ServeMessagesFor(DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

TEST(Win32ExchangeRunner, APortErrorBoxHeldPastTheDelayBringsNoEmptyProgressWindow) {
    CExchangeRunner runner(::GetModuleHandleW(nullptr));
    test::ScriptedRadio radio;
    radio.portAvailable = false;
    Session session = radio.MakeSession();
    session.runner = runner.For("Radio Info", nullptr);
    std::vector<bool> progressWhileBoxUp;
    radio.reporter.OnShow([&] {
        ServeMessagesFor(CExchangeRunner::kProgressDelayMs + 200);  // the timer runs out now
        progressWhileBoxUp.push_back(runner.ProgressWindow() != nullptr);
    });
    EXPECT_EQ(RunProcedure(session, ReadRadioInfo).outcome, Outcome::PortNotOpened);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_EQ(progressWhileBoxUp, std::vector<bool>{false});
    EXPECT_EQ(runner.ProgressWindow(), nullptr);
}

}  // namespace
}  // namespace varnel
