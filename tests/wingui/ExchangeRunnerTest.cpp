// varnel.exe's exchange runner with its real windows and message loop, under Wine: the progress
// window waits for an open port and for no box being up.
#include <gtest/gtest.h>

#include <vector>

#include "procedures/RadioInfo.h"
#include "strings/StringTable.h"
#include "tests/support/ScriptedSession.h"
#include "win32/ExchangeRunner.h"

namespace varnel::win32 {
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

// Counts the dialogs this thread creates while it lives: the progress window is one, so none
// may come.
class DialogCounter {
public:
    DialogCounter() {
        s_count = 0;
        m_hook = ::SetWindowsHookExW(WH_CBT, &DialogCounter::Hook, nullptr, ::GetCurrentThreadId());
    }
    ~DialogCounter() {
        if (m_hook != nullptr) {
            ::UnhookWindowsHookEx(m_hook);
        }
    }
    bool Hooked() const { return m_hook != nullptr; }
    int Count() const { return s_count; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            // The dialog class, by its atom or by its name.
            const LPCWSTR name = create->lpszClass;
            if (IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) == 0x8002
                                     : ::lstrcmpiW(name, L"#32770") == 0) {
                ++s_count;
            }
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline int s_count = 0;
    HHOOK m_hook = nullptr;
};

TEST(Win32ExchangeRunner, APortErrorBoxHeldPastTheDelayBringsNoEmptyProgressWindow) {
    CExchangeRunner runner(::GetModuleHandleW(nullptr));
    test::ScriptedRadio radio;
    radio.portAvailable = false;
    Session session = radio.MakeSession();
    session.runner = runner.For("Radio Info", nullptr);
    DialogCounter dialogs;
    ASSERT_TRUE(dialogs.Hooked());
    std::vector<bool> progressWhileBoxUp;
    radio.reporter.OnShow([&] {
        ServeMessagesFor(CExchangeRunner::kProgressDelayMs + 200);  // the timer runs out now
        progressWhileBoxUp.push_back(runner.ProgressWindow() != nullptr);
    });
    EXPECT_EQ(RunProcedure(session, ReadRadioInfo).outcome, Outcome::PortNotOpened);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_EQ(progressWhileBoxUp, std::vector<bool>{false});
    EXPECT_EQ(runner.ProgressWindow(), nullptr);
    EXPECT_EQ(dialogs.Count(), 0);  // not after the box either, while the exchange wound up
}

}  // namespace
}  // namespace varnel::win32
