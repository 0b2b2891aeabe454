#pragma once

#include "win32/Win32Api.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "templates/CommandMap.h"
#include "templates/WindowShell.h"

namespace varnel::win32 {

// The main window: menu 128, its accelerators, the toolbar, the status bar with the message pane
// and the CAP, NUM and SCRL panes, and a blank view. Commands reach the frame's own handlers
// (Exit, the View menu), then the application's.
class CMainFrame {
public:
    static constexpr int kToolbarId = 59392;    // AFX_IDW_TOOLBAR: its command shows and hides it
    static constexpr int kStatusBarId = 59393;  // AFX_IDW_STATUS_BAR
    static constexpr int kViewId = 59648;       // AFX_IDW_PANE_FIRST

    CMainFrame(HINSTANCE instance, const CCommandMap* appCommands);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the window with its menu, accelerators, icon and title, then the bars. False when
    // any part cannot be made; no window is left then.
    bool LoadFrame();
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Asked before the window closes; false defers the close (an exchange is running and will
    // close the window when it has stopped).
    std::function<bool()> m_canClose;
    // Called when the session ends (logoff, shutdown, a restart for an update): the process may
    // be ended as soon as WM_ENDSESSION has been answered, so what must be kept is written here.
    std::function<void()> m_onEndSession;

    // Accelerators; true when the message was one and has been handled.
    bool PreTranslateMessage(MSG& msg);
    bool OnCommand(int commandId);
    bool HasHandler(int commandId) const;

    // The key-state panes follow the keyboard's lock keys.
    void UpdateIndicators();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    int OnCreate();
    LRESULT OnNotify(const NMHDR& header);
    void OnInitMenuPopup(HMENU popup);
    void RecalcLayout();
    void LayOutStatusPanes();
    void SetMessageText(std::wstring_view text);
    void ShowIdleMessage();
    void ShowPrompt(int commandId);
    void ToggleBar(HWND bar);
    void UpdateToolbarButtons();

    HINSTANCE m_instance;
    const CCommandMap* m_pAppCommands;
    CCommandMap m_commands;
    HWND m_hWnd = nullptr;
    HWND m_wndStatusBar = nullptr;
    HWND m_wndToolBar = nullptr;
    HWND m_view = nullptr;
    HACCEL m_accelerators = nullptr;
    HIMAGELIST m_toolbarImages = nullptr;
    HIMAGELIST m_disabledToolbarImages = nullptr;
    HICON m_iconLarge = nullptr;
    HICON m_iconSmall = nullptr;
    std::array<bool, kIndicatorCount> m_indicatorOn{};
    bool m_indicatorsShown = false;
    std::wstring m_tooltip;  // the text a tooltip is showing: it must outlive the request
};

}  // namespace varnel::win32
