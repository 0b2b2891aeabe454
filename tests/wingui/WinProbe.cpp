// varnel-winprobe: reads Varnel's windows from outside, for the tests that drive varnel.exe under
// Wine. Wine's message box does not put its text on the clipboard, so the texts are read from the
// windows themselves: titles, controls with their ids, classes and texts, list entries, the rows
// of a table, the status bar's panes. Run under the same Wine prefix and desktop as varnel.exe.
//
//   varnel-winprobe wait TITLE [MS [CLASS]]  wait for a visible window titled TITLE (of window
//                                            class CLASS: "#32770" for a dialog or a message
//                                            box), then dump it
//   varnel-winprobe gone TITLE [MS [CLASS]]  wait until no such window is visible
//                                            Both end with a line "at unix_ms=N looks=K": when
//                                            the window was first seen (or seen gone), on the
//                                            host's wall clock, and after how many looks. At one
//                                            look the moment is not known: it was so already.
//   varnel-winprobe dump TITLE [CLASS]  the window and its controls
//   varnel-winprobe list                every visible top-level window
//   varnel-winprobe status              the texts of the main window's status bar panes
//   varnel-winprobe command ID          sends command ID to the main window, as a menu would
//   varnel-winprobe close               asks the main window to close, as its close box would
//   varnel-winprobe activate TITLE [CLASS [ID]]  makes the window the active one, as Windows
//                                       does when the window above it goes, and gives the
//                                       focus to its control ID
//   varnel-winprobe endsession          ends the session as a logoff does: WM_QUERYENDSESSION,
//                                       then WM_ENDSESSION, then the process is ended at once,
//                                       as Windows does once the window has answered
//   varnel-winprobe held-key TITLE VK   a key held down: the keyboard's repeat of virtual key VK
//                                       posted to the control with the focus in the dialog
//                                       TITLE, then the dialog's Cancel, so that the dialog
//                                       closes once whatever the key started has ended
//   varnel-winprobe fits TITLE [CLASS]  whether every control's text fits in its rectangle, in
//                                       the control's own font at the display's scale: a line
//                                       per control, "CLIPPED" for one that does not fit
//
// Exit status 0 on success, 1 when a wait timed out, the window is not there or a text does not
// fit, 2 on a bad command line. The probe is aware of the display's scale, as varnel.exe is, so
// that both see the same pixels.
#include <windows.h>
// After <windows.h>, which it builds on.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kFrameClass[] = L"VarnelFrame";

// The control with the keyboard focus in the program, while a window is dumped.
HWND g_focus = nullptr;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                          needed, nullptr, nullptr);
    return out;
}

// A text on one line: line feeds, carriage returns and tabs written as \n, \r and \t.
std::string Quoted(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : Utf8(text)) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT crosses processes; GetWindowText does not for other programs' controls.
    wchar_t buffer[4096] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

std::wstring ClassName(HWND window) {
    wchar_t buffer[256] = {};
    ::GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

struct FindRequest {
    std::wstring title;
    std::wstring className;  // any when empty
    HWND found = nullptr;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM request) {
    auto* find = reinterpret_cast<FindRequest*>(request);
    if (::IsWindowVisible(window) && WindowText(window) == find->title &&
        (find->className.empty() || ClassName(window) == find->className)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisible(const std::wstring& title, const std::wstring& className = {}) {
    FindRequest request{title, className};
    ::EnumWindows(&FindByTitle, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

HWND FindFrame() {
    return ::FindWindowW(kFrameClass, nullptr);
}

void PrintRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::printf(" rect=%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
}

// The pixels of an icon, for comparing icons of two programs: the colour bitmap as 32-bit
// pixels, and the mask after them. Empty when the icon cannot be read.
std::vector<unsigned> IconPixels(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) {
        return {};
    }
    std::vector<unsigned> pixels;
    HDC dc = ::GetDC(nullptr);
    for (HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
        BITMAP size{};
        if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(size), &size) == 0) {
            continue;
        }
        BITMAPINFO request{};
        request.bmiHeader.biSize = sizeof(request.bmiHeader);
        request.bmiHeader.biWidth = size.bmWidth;
        request.bmiHeader.biHeight = size.bmHeight;
        request.bmiHeader.biPlanes = 1;
        request.bmiHeader.biBitCount = 32;
        request.bmiHeader.biCompression = BI_RGB;
        std::vector<unsigned> part(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
        if (::GetDIBits(dc, bitmap, 0, static_cast<UINT>(size.bmHeight), part.data(), &request,
                        DIB_RGB_COLORS) > 0) {
            pixels.insert(pixels.end(), part.begin(), part.end());
        }
    }
    ::ReleaseDC(nullptr, dc);
    if (info.hbmColor != nullptr) {
        ::DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != nullptr) {
        ::DeleteObject(info.hbmMask);
    }
    return pixels;
}

// Which of the system's icons a message box shows: the same handle, or failing that (each
// program may hold its own copy) the same pixels.
const char* IconName(HICON icon) {
    if (icon == nullptr) {
        return "none";
    }
    const std::vector<unsigned> shown = IconPixels(icon);
    const struct {
        LPCWSTR id;
        const char* name;
    } known[] = {{IDI_HAND, "hand"},
                 {IDI_ASTERISK, "asterisk"},
                 {IDI_EXCLAMATION, "exclamation"},
                 {IDI_QUESTION, "question"}};
    for (const auto& k : known) {
        const HICON system = ::LoadIconW(nullptr, k.id);
        if (system == icon || (!shown.empty() && IconPixels(system) == shown)) {
            return k.name;
        }
    }
    return shown.empty() ? "unreadable" : "other";
}

void DumpComboBox(HWND combo) {
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    const LRESULT selected = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    std::printf("    items=%ld selected=%ld\n", static_cast<long>(count),
                static_cast<long>(selected));
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = {};
        const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length >= 0 && length < static_cast<LRESULT>(std::size(item))) {
            ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(item));
        }
        std::printf("    item %ld %s\n", static_cast<long>(i), Quoted(item).c_str());
    }
}

void DumpListBox(HWND list) {
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    std::printf("    lines=%ld\n", static_cast<long>(count));
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t line[256] = {};
        const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length >= 0 && length < static_cast<LRESULT>(std::size(line))) {
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(line));
        }
        std::printf("    line %ld %s\n", static_cast<long>(i), Quoted(line).c_str());
    }
}

// A list view's texts live in Varnel's memory, as the status bar's do: each request and its
// answer go through a buffer there.
void DumpListView(HWND list) {
    const LRESULT rows = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    const auto header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const LRESULT columns = header != nullptr ? ::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    std::printf("    rows=%ld columns=%ld\n", static_cast<long>(rows), static_cast<long>(columns));
    DWORD process = 0;
    ::GetWindowThreadProcessId(list, &process);
    const HANDLE target =
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (target == nullptr) {
        std::printf("    unreadable\n");
        return;
    }
    constexpr int kTextChars = 512;
    // The request first, its text after it.
    constexpr SIZE_T kTextAt = 256;
    auto* remote = static_cast<char*>(::VirtualAllocEx(
        target, nullptr, kTextAt + kTextChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    auto* remoteText = reinterpret_cast<wchar_t*>(remote + kTextAt);
    auto readText = [&] {
        wchar_t text[kTextChars] = {};
        SIZE_T read = 0;
        ::ReadProcessMemory(target, remoteText, text, sizeof(text) - sizeof(wchar_t), &read);
        return std::wstring(text);
    };
    static_assert(sizeof(LVCOLUMNW) <= kTextAt && sizeof(LVITEMW) <= kTextAt);
    for (LRESULT c = 0; remote != nullptr && c < columns; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = remoteText;
        column.cchTextMax = kTextChars;
        SIZE_T written = 0;
        ::WriteProcessMemory(target, remote, &column, sizeof(column), &written);
        ::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(remote));
        std::printf("    column %ld %s\n", static_cast<long>(c), Quoted(readText()).c_str());
    }
    for (LRESULT r = 0; remote != nullptr && r < rows; ++r) {
        std::printf("    row %ld", static_cast<long>(r));
        for (LRESULT c = 0; c < columns; ++c) {
            LVITEMW item{};
            item.iSubItem = static_cast<int>(c);
            item.pszText = remoteText;
            item.cchTextMax = kTextChars;
            SIZE_T written = 0;
            ::WriteProcessMemory(target, remote, &item, sizeof(item), &written);
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(r),
                           reinterpret_cast<LPARAM>(remote));
            std::printf(" %s", Quoted(readText()).c_str());
        }
        std::printf("\n");
    }
    if (remote != nullptr) {
        ::VirtualFreeEx(target, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(target);
}

BOOL CALLBACK DumpChild(HWND child, LPARAM parent) {
    if (::GetParent(child) != reinterpret_cast<HWND>(parent)) {
        return TRUE;  // only the window's own controls
    }
    const std::wstring className = ClassName(child);
    int id = ::GetDlgCtrlID(child);
    if (id == 0xFFFF) {
        id = -1;  // a dialog's static text: the template's "no id"
    }
    std::printf("  control id=%d class=%s text=%s visible=%d enabled=%d", id,
                Utf8(className).c_str(), Quoted(WindowText(child)).c_str(),
                ::IsWindowVisible(child) ? 1 : 0, ::IsWindowEnabled(child) ? 1 : 0);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    std::printf(" style=%08lx", static_cast<unsigned long>(style));
    if ((style & SS_TYPEMASK) == SS_ICON && _wcsicmp(className.c_str(), L"Static") == 0) {
        std::printf(" icon=%s",
                    IconName(reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0))));
    }
    if (child == g_focus) {
        std::printf(" focus=1");
    }
    PrintRect(child);
    std::printf("\n");
    if (_wcsicmp(className.c_str(), L"ComboBox") == 0) {
        DumpComboBox(child);
    } else if (_wcsicmp(className.c_str(), L"ListBox") == 0) {
        DumpListBox(child);
    }
    if (_wcsicmp(className.c_str(), WC_LISTVIEWW) == 0) {
        DumpListView(child);
    }
    return TRUE;
}

void Dump(HWND window) {
    std::printf("window %s class=%s enabled=%d", Quoted(WindowText(window)).c_str(),
                Utf8(ClassName(window)).c_str(), ::IsWindowEnabled(window) ? 1 : 0);
    const HWND owner = ::GetWindow(window, GW_OWNER);
    if (owner != nullptr) {
        std::printf(" owner=%s", Quoted(WindowText(owner)).c_str());
    }
    std::printf(" foreground=%d", ::GetForegroundWindow() == window ? 1 : 0);
    PrintRect(window);
    // Wine's X window for it, so that a test can give it the X keyboard focus as a window manager
    // would; 0 elsewhere.
    std::printf(" xid=%llu", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(
                                 ::GetPropW(window, L"__wine_x11_whole_window"))));
    std::printf("\n");
    // The focus of the program's thread, asked without touching its input (attaching to it would
    // change where the keyboard goes).
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    g_focus = ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &gui) ? gui.hwndFocus
                                                                                    : nullptr;
    ::EnumChildWindows(window, &DumpChild, reinterpret_cast<LPARAM>(window));
    std::fflush(stdout);
}

BOOL CALLBACK ListOne(HWND window, LPARAM) {
    if (::IsWindowVisible(window)) {
        std::printf("%s class=%s enabled=%d", Quoted(WindowText(window)).c_str(),
                    Utf8(ClassName(window)).c_str(), ::IsWindowEnabled(window) ? 1 : 0);
        PrintRect(window);
        std::printf("\n");
    }
    return TRUE;
}

int List() {
    ::EnumWindows(&ListOne, 0);
    std::fflush(stdout);
    return 0;
}

// The wall clock in ms since 1970, the reading of `date +%s%3N` on the host under Wine: the
// scripts set it beside the simulated radio's trace.
long long UnixMs() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr long long kFrom1601To1970Ms = 11644473600000LL;
    return static_cast<long long>(ticks / 10000) - kFrom1601To1970Ms;
}

// Looks often enough that the moment noted is at most this late.
constexpr DWORD kLookEveryMs = 20;

int Wait(const std::wstring& title, DWORD timeoutMs, const std::wstring& className,
         bool untilGone) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (int looks = 1;; ++looks) {
        const HWND window = FindVisible(title, className);
        const long long at = UnixMs();
        if (!untilGone && window != nullptr) {
            // A window just shown may still be filling in its controls.
            ::Sleep(150);
            Dump(window);
            std::printf("at unix_ms=%lld looks=%d\n", at, looks);
            std::fflush(stdout);
            return 0;
        }
        if (untilGone && window == nullptr) {
            std::printf("at unix_ms=%lld looks=%d\n", at, looks);
            std::fflush(stdout);
            return 0;
        }
        if (::GetTickCount64() >= end) {
            std::fprintf(stderr, "timed out waiting for %s%s; the windows now:\n",
                         Quoted(title).c_str(), untilGone ? " to go" : "");
            std::fflush(stderr);
            ::EnumWindows(&ListOne, 0);
            std::fflush(stdout);
            return 1;
        }
        ::Sleep(kLookEveryMs);
    }
}

// The status bar's texts live in Varnel's memory: the request is answered into a buffer there.
int Status() {
    const HWND frame = FindFrame();
    const HWND bar =
        frame != nullptr ? ::FindWindowExW(frame, nullptr, STATUSCLASSNAMEW, nullptr) : nullptr;
    if (bar == nullptr) {
        std::fprintf(stderr, "no status bar\n");
        return 1;
    }
    DWORD process = 0;
    ::GetWindowThreadProcessId(bar, &process);
    const HANDLE target =
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (target == nullptr) {
        std::fprintf(stderr, "cannot reach the program's memory\n");
        return 1;
    }
    constexpr SIZE_T kBufferBytes = 512 * sizeof(wchar_t);
    void* remote = ::VirtualAllocEx(target, nullptr, kBufferBytes, MEM_COMMIT, PAGE_READWRITE);
    const LRESULT parts = ::SendMessageW(bar, SB_GETPARTS, 0, 0);
    for (LRESULT i = 0; remote != nullptr && i < parts; ++i) {
        wchar_t text[512] = {};
        const LRESULT length = ::SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(i), 0);
        if (LOWORD(length) < std::size(text)) {
            ::SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(remote));
            SIZE_T read = 0;
            ::ReadProcessMemory(target, remote, text, sizeof(text) - sizeof(wchar_t), &read);
        }
        std::printf("pane %ld %s\n", static_cast<long>(i), Quoted(text).c_str());
    }
    if (remote != nullptr) {
        ::VirtualFreeEx(target, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(target);
    std::fflush(stdout);
    return remote != nullptr ? 0 : 1;
}

int HeldKey(HWND dialog, UINT key) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &gui) ||
        gui.hwndFocus == nullptr) {
        std::fprintf(stderr, "no control has the focus\n");
        return 1;
    }
    // A repeat count of one, the key's scan code, and bit 30: the key was down already.
    const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    const LPARAM repeat = 1 | (static_cast<LPARAM>(scan) << 16) | (LPARAM{1} << 30);
    const bool posted = ::PostMessageW(gui.hwndFocus, WM_KEYDOWN, key, repeat) &&
                        ::PostMessageW(gui.hwndFocus, WM_KEYUP, key, repeat | (LPARAM{1} << 31)) &&
                        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return posted ? 0 : 1;
}

int Command(int id) {
    const HWND frame = FindFrame();
    if (frame == nullptr) {
        std::fprintf(stderr, "no main window\n");
        return 1;
    }
    return ::PostMessageW(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
}

// ---- fits -----------------------------------------------------------------------------------

// The control's font as the probe can use it: the one the control draws with, read through its
// handle, or where that handle means nothing in this process, the dialogs' font at this scale.
HFONT ControlFont(HWND control) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (font == nullptr || ::GetObjectW(font, sizeof(description), &description) == 0) {
        HDC screen = ::GetDC(nullptr);
        const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        description = LOGFONTW{};
        description.lfHeight = -::MulDiv(8, dpi, 72);
        description.lfWeight = FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        std::wcscpy(description.lfFaceName, L"MS Sans Serif");
    }
    return ::CreateFontIndirectW(&description);
}

struct FitReport {
    int checked = 0;
    int clipped = 0;
};

// Prints one text's verdict: the room it needs against the room it has.
void Judge(FitReport& report, HWND control, const std::wstring& text, SIZE need, SIZE room) {
    ++report.checked;
    const bool fits = need.cx <= room.cx && need.cy <= room.cy;
    if (!fits) {
        ++report.clipped;
    }
    int id = ::GetDlgCtrlID(control);
    if (id == 0xFFFF) {
        id = -1;
    }
    std::printf("%s id=%d class=%s text=%s needs=%ldx%ld has=%ldx%ld\n", fits ? "fits" : "CLIPPED",
                id, Utf8(ClassName(control)).c_str(), Quoted(text).c_str(), need.cx, need.cy,
                room.cx, room.cy);
}

struct FitRequest {
    HWND parent;
    FitReport* report;
};

BOOL CALLBACK FitChild(HWND control, LPARAM request) {
    auto* fit = reinterpret_cast<FitRequest*>(request);
    if (::GetParent(control) != fit->parent || !::IsWindowVisible(control)) {
        return TRUE;
    }
    const std::wstring className = ClassName(control);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const std::wstring text = WindowText(control);
    RECT client{};
    ::GetClientRect(control, &client);
    const SIZE room{client.right, client.bottom};
    HDC dc = ::GetDC(nullptr);
    const HFONT font = ControlFont(control);
    const HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    // One line of text, with the '&' of an access key left out when the control shows it so.
    auto lineSize = [&](const std::wstring& line, bool prefix) {
        RECT r{0, 0, 0, 0};
        ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &r,
                    DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX));
        return SIZE{r.right, std::max<LONG>(r.bottom, metrics.tmHeight)};
    };
    const bool isStatic = _wcsicmp(className.c_str(), L"Static") == 0;
    const bool isButton = _wcsicmp(className.c_str(), L"Button") == 0;
    const bool isEdit = _wcsicmp(className.c_str(), L"Edit") == 0;
    const bool isCombo = _wcsicmp(className.c_str(), L"ComboBox") == 0;
    const LONG staticType = style & SS_TYPEMASK;
    if (isStatic && !text.empty() &&
        (staticType == SS_LEFT || staticType == SS_CENTER || staticType == SS_RIGHT)) {
        // Wrapped at the control's width, as the control draws it; a word wider than that line
        // widens the measured rectangle, which counts as clipped.
        RECT r{0, 0, room.cx, 0};
        ::DrawTextW(
            dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
        Judge(*fit->report, control, text, SIZE{r.right, r.bottom}, room);
    } else if (isStatic && !text.empty() &&
               (staticType == SS_LEFTNOWORDWRAP || staticType == SS_SIMPLE)) {
        Judge(*fit->report, control, text, lineSize(text, !(style & SS_NOPREFIX)), room);
    } else if (isButton && !text.empty()) {
        const LONG type = style & BS_TYPEMASK;
        SIZE need = lineSize(text, true);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            // The frame and the focus rectangle inside it.
            need.cx += 2 * (::GetSystemMetrics(SM_CXEDGE) + 2);
            need.cy += 2 * ::GetSystemMetrics(SM_CYEDGE);
        } else if (type == BS_GROUPBOX) {
            need.cx += 2 * metrics.tmAveCharWidth;
        } else {
            // A check box or a radio button: the box, and a gap as wide as a character.
            need.cx += ::GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth;
        }
        Judge(*fit->report, control, text, need, room);
    } else if (isEdit && !(style & ES_MULTILINE)) {
        // The whole value in view, between the margins, in a box at least one line high.
        const LRESULT margins = ::SendMessageW(control, EM_GETMARGINS, 0, 0);
        SIZE need = lineSize(text, false);
        need.cx += LOWORD(margins) + HIWORD(margins);
        Judge(*fit->report, control, text, need, room);
    } else if (isCombo) {
        // Each entry beside the drop-down button.
        const LRESULT count = ::SendMessageW(control, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t entry[256] = {};
            const LRESULT length =
                ::SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            if (length < 0 || length >= static_cast<LRESULT>(std::size(entry))) {
                continue;
            }
            ::SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(entry));
            SIZE need = lineSize(entry, false);
            need.cx += ::GetSystemMetrics(SM_CXVSCROLL) + 2 * ::GetSystemMetrics(SM_CXEDGE);
            Judge(*fit->report, control, entry, need, room);
        }
    }
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::ReleaseDC(nullptr, dc);
    return TRUE;
}

int Fits(HWND window) {
    HDC screen = ::GetDC(nullptr);
    std::printf("window %s dpi=%d\n", Quoted(WindowText(window)).c_str(),
                ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    FitReport report;
    FitRequest request{window, &report};
    ::EnumChildWindows(window, &FitChild, reinterpret_cast<LPARAM>(&request));
    std::printf("checked=%d clipped=%d\n", report.checked, report.clipped);
    std::fflush(stdout);
    return report.clipped == 0 && report.checked > 0 ? 0 : 1;
}

// What Windows does to a program at logoff or shutdown. The process is ended without waiting for
// its message loop: what it did not write by the end of WM_ENDSESSION is lost.
int EndSession() {
    const HWND frame = FindFrame();
    if (frame == nullptr) {
        std::fprintf(stderr, "no main window\n");
        return 1;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(frame, &pid);
    const HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        std::fprintf(stderr, "cannot reach the process %lu\n", pid);
        return 1;
    }
    DWORD_PTR agreed = 0;
    const bool asked = ::SendMessageTimeoutW(frame, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                             SMTO_NORMAL, 5000, &agreed) != 0;
    DWORD_PTR ignored = 0;
    const bool told = asked && agreed != 0 &&
                      ::SendMessageTimeoutW(frame, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                            SMTO_NORMAL, 5000, &ignored) != 0;
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
    std::printf("queryendsession=%d endsession=%d\n", asked && agreed != 0 ? 1 : 0, told ? 1 : 0);
    std::fflush(stdout);
    return told ? 0 : 1;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: varnel-winprobe wait|gone TITLE [MS [CLASS]] | dump TITLE [CLASS] | list | "
        "status | command ID | close | activate TITLE [CLASS [ID]] | endsession | held-key "
        "TITLE VK | fits TITLE [CLASS]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Sizes as varnel.exe sees them at any display scale (it declares the same awareness).
    ::SetProcessDPIAware();
    if (argc < 2) {
        return Usage();
    }
    const std::wstring verb = argv[1];
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 10000;
    if ((verb == L"wait" || verb == L"gone") && argc >= 3) {
        return Wait(argv[2], timeout, argc > 4 ? argv[4] : L"", verb == L"gone");
    }
    if (verb == L"dump" && (argc == 3 || argc == 4)) {
        const HWND window = FindVisible(argv[2], argc == 4 ? argv[3] : L"");
        if (window == nullptr) {
            std::fprintf(stderr, "no window %s\n", Quoted(argv[2]).c_str());
            return 1;
        }
        Dump(window);
        return 0;
    }
    if (verb == L"fits" && (argc == 3 || argc == 4)) {
        const HWND window = FindVisible(argv[2], argc == 4 ? argv[3] : L"");
        if (window == nullptr) {
            std::fprintf(stderr, "no window %s\n", Quoted(argv[2]).c_str());
            return 1;
        }
        return Fits(window);
    }
    if (verb == L"held-key" && argc == 4) {
        const HWND window = FindVisible(argv[2], L"#32770");
        if (window == nullptr) {
            std::fprintf(stderr, "no window %s\n", Quoted(argv[2]).c_str());
            return 1;
        }
        return HeldKey(window, static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0)));
    }
    if (verb == L"list") {
        return List();
    }
    if (verb == L"status") {
        return Status();
    }
    if (verb == L"command" && argc == 3) {
        return Command(static_cast<int>(std::wcstol(argv[2], nullptr, 10)));
    }
    if (verb == L"close" && argc == 2) {
        const HWND frame = FindFrame();
        return frame != nullptr && ::PostMessageW(frame, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (verb == L"activate" && argc >= 3 && argc <= 5) {
        const HWND window = FindVisible(argv[2], argc >= 4 ? argv[3] : L"");
        if (window == nullptr || !::SetForegroundWindow(window)) {
            return 1;
        }
        if (argc == 5) {
            const HWND control =
                ::GetDlgItem(window, static_cast<int>(std::wcstol(argv[4], nullptr, 10)));
            if (control == nullptr) {
                return 1;
            }
            ::SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        }
        return 0;
    }
    if (verb == L"endsession" && argc == 2) {
        return EndSession();
    }
    return Usage();
}
