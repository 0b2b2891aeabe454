#include "win32/VarnelApp.h"

#include <iterator>
#include <string_view>
#include <utility>

#include "win32/ExchangeRunner.h"
#include "win32/MainFrame.h"
#include "win32/Menu.h"
#include "win32/MessageBoxReporter.h"

namespace varnel::win32 {

CVarnelApp::CVarnelApp(HINSTANCE instance, std::unique_ptr<SettingsStore> settings)
    : CWindowedApplication(std::move(settings)), m_instance(instance) {}

CVarnelApp::~CVarnelApp() = default;

int CVarnelApp::Run() {
    if (!InitInstance()) {
        return ExitInstance(1);
    }
    MSG msg{};
    int exitCode = 0;
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            exitCode = 1;
            break;
        }
        if (m_pMainWnd && m_pMainWnd->PreTranslateMessage(msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && m_pMainWnd) {
            m_pMainWnd->UpdateIndicators();
        }
    }
    return ExitInstance(exitCode);
}

bool CVarnelApp::InitInstance() {
    LoadSettings();
    m_pRunner = std::make_unique<CExchangeRunner>(m_instance);

    m_pMainWnd = std::make_unique<CMainFrame>(m_instance, &m_commands);
    m_pMainWnd->m_canClose = [this] { return CanCloseMainWindow(); };
    m_pMainWnd->m_onEndSession = [this] { SaveSettings(); };
    if (!m_pMainWnd->LoadFrame()) {
        m_pMainWnd.reset();
        return false;
    }
    HWND window = m_pMainWnd->GetSafeHwnd();
    // The main window owns every message box from here on, also one raised inside a dialog.
    m_pReporter->SetOwner(window);
    // Shown plainly, whatever show state the program was started with.
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    if (HMENU menu = ::GetMenu(window)) {
        TrimMenu(menu);
        ::DrawMenuBar(window);
    }
    return true;
}

void CVarnelApp::SaveSettings() {
    (void)SavePortIndex();
}

int CVarnelApp::ExitInstance(int exitCode) {
    SaveSettings();
    m_pReporter->SetOwner(nullptr);
    m_pMainWnd.reset();
    return exitCode;
}

void CVarnelApp::CloseMainWindow() {
    if (HWND window = GetMainWnd()) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

bool CVarnelApp::CanCloseMainWindow() {
    HWND window = GetMainWnd();
    if (m_pRunner && m_pRunner->IsRunning()) {
        m_pRunner->Cancel();
        m_pRunner->CloseAfter(window);
        return false;
    }
    if (window != nullptr && !::IsWindowEnabled(window) && m_closeAttempts < kMaxCloseAttempts) {
        // A dialog or a box is open above the window (a close asked for during an exchange
        // arrives after it, with the dialog that ran it still open): each is cancelled, and the
        // close comes back once they have gone.
        ++m_closeAttempts;
        ::EnumThreadWindows(::GetCurrentThreadId(), &CVarnelApp::CancelOwnedDialog,
                            reinterpret_cast<LPARAM>(window));
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return false;
    }
    m_closeAttempts = 0;
    return true;
}

BOOL CALLBACK CVarnelApp::CancelOwnedDialog(HWND window, LPARAM owner) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, static_cast<int>(std::size(className)));
    if (::IsWindowVisible(window) && std::wstring_view(className) == L"#32770" &&
        ::GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner)) {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return TRUE;
}

}  // namespace varnel::win32
