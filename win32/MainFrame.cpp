#include "win32/MainFrame.h"

#include <algorithm>
#include <vector>

#include "strings/StringTable.h"
#include "win32/Images.h"
#include "win32/Menu.h"
#include "win32/Text.h"
#include "win32/WaitCursor.h"

namespace varnel::win32 {
namespace {

constexpr wchar_t kFrameClass[] = L"VarnelFrame";
constexpr wchar_t kViewClass[] = L"VarnelView";

// The window's keys as the system's accelerator table wants them.
std::vector<ACCEL> AcceleratorTable() {
    std::vector<ACCEL> table;
    for (const AcceleratorDefinition& key : Accelerators()) {
        ACCEL accel{};
        accel.fVirt = static_cast<BYTE>(FVIRTKEY | FNOINVERT | (key.shift ? FSHIFT : 0));
        accel.key = key.key == ShellKey::F1 ? VK_F1 : VK_F6;
        accel.cmd = static_cast<WORD>(key.command);
        table.push_back(accel);
    }
    return table;
}

int VirtualKey(LockKey key) {
    return key == LockKey::Caps ? VK_CAPITAL : key == LockKey::Num ? VK_NUMLOCK : VK_SCROLL;
}

std::wstring LoadText(int id) {
    return Widen(LoadString(id));
}

// The window title: the first field of the document string; no document name is ever added.
std::wstring FrameTitle() {
    const std::string_view docString = LoadString(IDR_MAINFRAME);
    return Widen(docString.substr(0, docString.find('\n')));
}

}  // namespace

CMainFrame::CMainFrame(HINSTANCE instance, const CCommandMap* appCommands)
    : m_instance(instance), m_pAppCommands(appCommands) {
    m_commands.Add(ID_VIEW_TOOLBAR, [this] { ToggleBar(m_wndToolBar); });
    m_commands.Add(ID_VIEW_STATUS_BAR, [this] { ToggleBar(m_wndStatusBar); });
}

CMainFrame::~CMainFrame() {
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);
    }
    if (m_accelerators != nullptr) {
        ::DestroyAcceleratorTable(m_accelerators);
    }
    for (HIMAGELIST images : {m_toolbarImages, m_disabledToolbarImages}) {
        if (images != nullptr) {
            ::ImageList_Destroy(images);
        }
    }
    for (HICON icon : {m_iconLarge, m_iconSmall}) {
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

bool CMainFrame::LoadFrame() {
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);

    m_iconLarge = CreateAppIcon(32);
    m_iconSmall = CreateAppIcon(16);
    WNDCLASSEXW frameClass{};
    frameClass.cbSize = sizeof(frameClass);
    frameClass.style = CS_DBLCLKS;
    frameClass.lpfnWndProc = &CMainFrame::WindowProc;
    frameClass.hInstance = m_instance;
    frameClass.hIcon = m_iconLarge;
    frameClass.hIconSm = m_iconSmall;
    frameClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frameClass.lpszClassName = kFrameClass;
    WNDCLASSEXW viewClass{};
    viewClass.cbSize = sizeof(viewClass);
    viewClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    viewClass.lpfnWndProc = &CMainFrame::ViewProc;
    viewClass.hInstance = m_instance;
    viewClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    viewClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    viewClass.lpszClassName = kViewClass;
    if (::RegisterClassExW(&frameClass) == 0 || ::RegisterClassExW(&viewClass) == 0) {
        return false;
    }
    std::vector<ACCEL> accelerators = AcceleratorTable();
    m_accelerators =
        ::CreateAcceleratorTableW(accelerators.data(), static_cast<int>(accelerators.size()));
    HMENU menu = CreateMenuBar(Menu128());
    if (m_accelerators == nullptr || menu == nullptr) {
        if (menu != nullptr) {
            ::DestroyMenu(menu);
        }
        return false;
    }
    // An overlapped window with the system's default place and size; the bars are made by
    // WM_CREATE, and a failure there fails the creation.
    const HWND window = ::CreateWindowExW(
        0, kFrameClass, FrameTitle().c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, m_instance, this);
    if (window == nullptr) {
        m_hWnd = nullptr;
        return false;
    }
    return true;
}

int CMainFrame::OnCreate() {
    m_wndToolBar = ::CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP, 0, 0, 0, 0, m_hWnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarId)), m_instance, nullptr);
    m_toolbarImages = CreateToolbarImages();
    m_disabledToolbarImages = CreateToolbarImages(true);
    if (m_wndToolBar == nullptr || m_toolbarImages == nullptr ||
        m_disabledToolbarImages == nullptr) {
        return -1;
    }
    ::SendMessageW(m_wndToolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(m_wndToolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_toolbarImages));
    ::SendMessageW(m_wndToolBar, TB_SETDISABLEDIMAGELIST, 0,
                   reinterpret_cast<LPARAM>(m_disabledToolbarImages));
    const std::span<const int> commands = ToolbarCommands();
    std::vector<TBBUTTON> buttons(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        buttons[i].iBitmap = static_cast<int>(i);
        buttons[i].idCommand = commands[i];
        buttons[i].fsState = 0;
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    if (!::SendMessageW(m_wndToolBar, TB_ADDBUTTONSW, buttons.size(),
                        reinterpret_cast<LPARAM>(buttons.data()))) {
        return -1;
    }
    ::SendMessageW(m_wndToolBar, TB_AUTOSIZE, 0, 0);
    UpdateToolbarButtons();

    m_wndStatusBar = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hWnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), m_instance, nullptr);
    if (m_wndStatusBar == nullptr) {
        return -1;
    }
    LayOutStatusPanes();
    ShowIdleMessage();
    UpdateIndicators();

    m_view = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, kViewClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0,
        m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewId)), m_instance, this);
    return m_view != nullptr ? 0 : -1;
}

bool CMainFrame::PreTranslateMessage(MSG& msg) {
    if (m_hWnd == nullptr || m_accelerators == nullptr) {
        return false;
    }
    // Only for the frame and its children; a dialog or a message box has keys of its own.
    if (msg.hwnd != m_hWnd && !::IsChild(m_hWnd, msg.hwnd)) {
        return false;
    }
    return ::TranslateAcceleratorW(m_hWnd, m_accelerators, &msg) != 0;
}

bool CMainFrame::OnCommand(int commandId) {
    if (m_commands.Dispatch(commandId)) {
        return true;
    }
    return m_pAppCommands != nullptr && m_pAppCommands->Dispatch(commandId);
}

bool CMainFrame::HasHandler(int commandId) const {
    return m_commands.Has(commandId) ||
           (m_pAppCommands != nullptr && m_pAppCommands->Has(commandId));
}

void CMainFrame::UpdateIndicators() {
    if (m_wndStatusBar == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const bool on = (::GetKeyState(VirtualKey(Indicators()[i].key)) & 1) != 0;
        if (m_indicatorsShown && on == m_indicatorOn[i]) {
            continue;
        }
        m_indicatorOn[i] = on;
        // Lit shows the name; off leaves the pane empty.
        const std::wstring text = on ? LoadText(Indicators()[i].textId) : std::wstring();
        ::SendMessageW(m_wndStatusBar, SB_SETTEXTW, static_cast<WPARAM>(i + 1),
                       reinterpret_cast<LPARAM>(text.c_str()));
    }
    m_indicatorsShown = true;
}

void CMainFrame::LayOutStatusPanes() {
    if (m_wndStatusBar == nullptr) {
        return;
    }
    // Each key-state pane is as wide as its name, with a margin; the message pane takes the rest.
    HDC dc = ::GetDC(m_wndStatusBar);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_wndStatusBar, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    int widths[kIndicatorCount] = {};
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const std::wstring text = LoadText(Indicators()[i].textId);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widths[i] = size.cx + 2 * ::GetSystemMetrics(SM_CXEDGE) + 8;
    }
    if (previous != nullptr) {
        ::SelectObject(dc, previous);
    }
    ::ReleaseDC(m_wndStatusBar, dc);

    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int grip = ::GetSystemMetrics(SM_CXVSCROLL);
    int edges[1 + kIndicatorCount] = {};
    int right = client.right - grip;
    for (int i = static_cast<int>(kIndicatorCount) - 1; i >= 0; --i) {
        edges[i + 1] = right;
        right -= widths[i];
    }
    edges[0] = std::max(0, right);
    edges[kIndicatorCount] = -1;  // the last pane runs to the edge, past the grip
    ::SendMessageW(m_wndStatusBar, SB_SETPARTS, std::size(edges), reinterpret_cast<LPARAM>(edges));
}

void CMainFrame::SetMessageText(std::wstring_view text) {
    if (m_wndStatusBar != nullptr) {
        const std::wstring copy(text);
        ::SendMessageW(m_wndStatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(copy.c_str()));
    }
}

void CMainFrame::ShowIdleMessage() {
    SetMessageText(LoadText(AFX_IDS_IDLEMESSAGE));
}

void CMainFrame::ShowPrompt(int commandId) {
    const std::string_view prompt = PromptPart(LoadString(commandId));
    if (prompt.empty()) {
        ShowIdleMessage();
    } else {
        SetMessageText(Widen(prompt));
    }
}

void CMainFrame::UpdateToolbarButtons() {
    for (const int command : ToolbarCommands()) {
        ::SendMessageW(m_wndToolBar, TB_ENABLEBUTTON, static_cast<WPARAM>(command),
                       MAKELPARAM(HasHandler(command) ? TRUE : FALSE, 0));
    }
}

void CMainFrame::ToggleBar(HWND bar) {
    if (bar == nullptr) {
        return;
    }
    ::ShowWindow(bar, ::IsWindowVisible(bar) ? SW_HIDE : SW_SHOW);
    RecalcLayout();
}

void CMainFrame::RecalcLayout() {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    int top = client.top;
    int bottom = client.bottom;
    if (m_wndToolBar != nullptr && ::IsWindowVisible(m_wndToolBar)) {
        ::SendMessageW(m_wndToolBar, TB_AUTOSIZE, 0, 0);
        RECT bar{};
        ::GetWindowRect(m_wndToolBar, &bar);
        top += bar.bottom - bar.top;
    }
    if (m_wndStatusBar != nullptr && ::IsWindowVisible(m_wndStatusBar)) {
        ::SendMessageW(m_wndStatusBar, WM_SIZE, 0, 0);
        LayOutStatusPanes();
        RECT bar{};
        ::GetWindowRect(m_wndStatusBar, &bar);
        bottom -= bar.bottom - bar.top;
    }
    if (m_view != nullptr) {
        ::MoveWindow(m_view, client.left, top, client.right - client.left,
                     std::max(0, bottom - top), TRUE);
    }
}

void CMainFrame::OnInitMenuPopup(HMENU popup) {
    const int count = ::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = ::GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<UINT>(-1)) {
            continue;  // a separator or a submenu
        }
        const int command = static_cast<int>(id);
        ::EnableMenuItem(popup, static_cast<UINT>(i),
                         MF_BYPOSITION | (HasHandler(command) ? MF_ENABLED : MF_GRAYED));
        HWND bar = command == ID_VIEW_TOOLBAR      ? m_wndToolBar
                   : command == ID_VIEW_STATUS_BAR ? m_wndStatusBar
                                                   : nullptr;
        if (bar != nullptr) {
            ::CheckMenuItem(popup, static_cast<UINT>(i),
                            MF_BYPOSITION | (::IsWindowVisible(bar) ? MF_CHECKED : MF_UNCHECKED));
        }
    }
}

LRESULT CMainFrame::OnNotify(const NMHDR& header) {
    if (header.code == TTN_GETDISPINFOW) {
        // A toolbar button's tooltip: the part of its command's prompt after the line feed.
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        m_tooltip = Widen(TooltipPart(LoadString(static_cast<int>(header.idFrom))));
        info.lpszText = m_tooltip.data();
        info.hinst = nullptr;
        return 0;
    }
    if (header.code == TBN_HOTITEMCHANGE && header.hwndFrom == m_wndToolBar) {
        // The button under the mouse shows its prompt in the message pane, as a menu item does.
        const auto& hot = reinterpret_cast<const NMTBHOTITEM&>(header);
        if (hot.dwFlags & HICF_LEAVING) {
            ShowIdleMessage();
        } else {
            ShowPrompt(hot.idNew);
        }
        return 0;
    }
    return 0;
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate();
        case WM_SIZE:
            RecalcLayout();
            return 0;
        case WM_COMMAND:
            // A command without a handler anywhere (F1, Shift+F1, F6) does nothing.
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_INITMENUPOPUP:
            if (!HIWORD(lParam)) {
                OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
            }
            return 0;
        case WM_MENUSELECT: {
            const UINT flags = HIWORD(wParam);
            if (flags == 0xFFFF && lParam == 0) {
                ShowIdleMessage();  // the menu closed
            } else if (flags & (MF_POPUP | MF_SEPARATOR)) {
                SetMessageText(L"");
            } else {
                ShowPrompt(LOWORD(wParam));
            }
            return 0;
        }
        case WM_EXITMENULOOP:
            ShowIdleMessage();
            return 0;
        case WM_ACTIVATE:
        case WM_SETFOCUS:
            UpdateIndicators();
            break;
        case WM_SETCURSOR:
            if (ApplyOverrideCursor()) {
                return TRUE;
            }
            break;
        case WM_QUERYENDSESSION:
            // The session ending under an exchange stops the exchange. Nothing is saved yet: the
            // session may still go on, if another program refuses to end.
            if (m_canClose) {
                m_canClose();
            }
            return TRUE;
        case WM_ENDSESSION:
            // The message loop never gets to its end after this: the settings are written now.
            if (wParam && m_onEndSession) {
                m_onEndSession();
            }
            return 0;
        case WM_CLOSE:
            if (m_canClose && !m_canClose()) {
                return 0;
            }
            ::DestroyWindow(m_hWnd);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            m_hWnd = nullptr;
            m_wndToolBar = nullptr;
            m_wndStatusBar = nullptr;
            m_view = nullptr;
            break;
        default:
            break;
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* frame = static_cast<CMainFrame*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        frame->m_hWnd = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    }
    auto* frame = reinterpret_cast<CMainFrame*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (frame == nullptr || frame->m_hWnd == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return frame->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK CMainFrame::ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The view draws nothing; it only shows the wait cursor while an exchange runs.
    if (message == WM_SETCURSOR && ApplyOverrideCursor()) {
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace varnel::win32
