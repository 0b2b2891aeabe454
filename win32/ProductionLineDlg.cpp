#include "win32/ProductionLineDlg.h"

#include <commdlg.h>

#include <array>
#include <iterator>
#include <string_view>
#include <utility>

#include "win32/PortChoice.h"
#include "win32/Text.h"
#include "win32/WaitCursor.h"

namespace varnel::win32 {
namespace {

constexpr UINT_PTR kBellTimer = 1;
constexpr UINT_PTR kKeySubclass = 1;
// The columns of the shift's table, in dialog units: the time to the second, the serial number,
// the ESN and the verdict each in full.
constexpr int kColumnWidths[] = {88, 72, 64, 56};
static_assert(std::size(kColumnWidths) == kShiftColumns.size());

COLORREF Rgb(StationColour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

// The system's Save As box, for a CSV file; empty when cancelled.
std::string AskExportPath(HWND owner) {
    wchar_t file[MAX_PATH * 4] = L"shift.csv";
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    request.lpstrFile = file;
    request.nMaxFile = static_cast<DWORD>(std::size(file));
    request.lpstrTitle = L"Export Shift";
    request.lpstrDefExt = L"csv";
    request.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&request)) {
        return {};
    }
    return Narrow(file);
}

}  // namespace

CProductionLineDlg::CProductionLineDlg(Session session, SettingsStore& settings,
                                       PortResolver resolver, int portIndex, HWND owner)
    : CDialog(ProductionLineTemplate(), owner),
      m_nPortIndex(portIndex),
      m_chooseExportPath(AskExportPath),
      m_ringBell([] { ::MessageBeep(MB_OK); }),
      m_line(std::move(session), settings),
      m_resolver(std::move(resolver)) {}

CProductionLineDlg::~CProductionLineDlg() {
    // The dialog and its controls have gone by now: nothing draws with these any more.
    if (m_resultBrush != nullptr) {
        ::DeleteObject(m_resultBrush);
    }
    if (m_resultFont != nullptr) {
        ::DeleteObject(m_resultFont);
    }
}

bool CProductionLineDlg::OnInitDialog() {
    HWND result = GetDlgItem(IDC_RESULT);
    // The result large and bold, centred in its box, so that it is read from across the bench: in
    // the system's message face (a scalable one; the dialogs' own may be a bitmap face that only
    // spaces its letters out), three times the dialogs' height.
    LOGFONTW font{};
    const auto dialogFont =
        reinterpret_cast<HFONT>(::SendMessageW(GetSafeHwnd(), WM_GETFONT, 0, 0));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (dialogFont != nullptr && ::GetObjectW(dialogFont, sizeof(font), &font) != 0) {
        const LONG height = font.lfHeight;
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            font = metrics.lfMessageFont;
        }
        font.lfHeight = height * 3;
        font.lfWidth = 0;
        font.lfWeight = FW_BOLD;
        m_resultFont = ::CreateFontIndirectW(&font);
    }
    if (result != nullptr) {
        if (m_resultFont != nullptr) {
            ::SendMessageW(result, WM_SETFONT, reinterpret_cast<WPARAM>(m_resultFont), FALSE);
        }
        const LONG_PTR style = ::GetWindowLongPtrW(result, GWL_STYLE);
        ::SetWindowLongPtrW(result, GWL_STYLE,
                            (style & ~LONG_PTR{SS_TYPEMASK}) | SS_CENTER | SS_CENTERIMAGE);
    }
    if (HWND table = GetDlgItem(IDC_SHIFT)) {
        ::SendMessageW(table, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                       LVS_EX_FULLROWSELECT);
        for (std::size_t i = 0; i < kShiftColumns.size(); ++i) {
            RECT width{0, 0, kColumnWidths[i], 0};
            ::MapDialogRect(GetSafeHwnd(), &width);
            std::wstring title = Widen(kShiftColumns[i]);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.pszText = title.data();
            column.cx = width.right;
            column.iSubItem = static_cast<int>(i);
            ::SendMessageW(table, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        }
    }
    // Every control sees Enter and Space first: Space runs the next radio wherever the focus is
    // but in a text field or on another button, and a key held down runs one radio, not several.
    for (HWND child = ::GetWindow(GetSafeHwnd(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SetWindowSubclass(child, &CProductionLineDlg::ControlProc, kKeySubclass,
                            reinterpret_cast<DWORD_PTR>(this));
    }

    const StationSetup setup = m_line.Open();
    FillSources(setup.source.pool);
    FillPorts();
    SetDlgItemText(IDC_STATION_NAME, Widen(setup.station));
    ShowShift();
    SetDlgItemText(IDC_PROMPT, Widen(m_line.Prompt()));
    ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(kIdOk)), TRUE);
    return false;
}

void CProductionLineDlg::FillSources(const std::string& pool) {
    HWND list = GetDlgItem(IDC_ESN_SOURCE);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const StationSourceChoice& choice : m_line.Sources()) {
        const std::wstring text = Widen(choice.text);
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(m_line.SourceIndex(pool)), 0);
}

void CProductionLineDlg::FillPorts() {
    std::vector<PortEntry> ports;
    {
        // Judging a port opens it, and opening some (an outgoing Bluetooth port) takes seconds.
        CWaitCursor wait;
        ports = ListPorts(m_resolver, m_probe);
    }
    FillPortChoice(GetDlgItem(IDC_PORT), ports, m_nPortIndex,
                   [this](const PortEntry& port) { return StationOffersPort(port, m_nPortIndex); });
}

void CProductionLineDlg::ShowShift() {
    SetDlgItemText(IDC_COUNTS, Widen(CountsText(m_line.Station().Counts())));
    HWND table = GetDlgItem(IDC_SHIFT);
    ::SendMessageW(table, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(table, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const StationRadio& radio : m_line.Station().Shift()) {
        const std::array<std::string, 4> cells = ShiftRow(radio);
        for (std::size_t column = 0; column < cells.size(); ++column) {
            std::wstring text = Widen(cells[column]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = static_cast<int>(column);
            item.pszText = text.data();
            ::SendMessageW(table, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW,
                           column == 0 ? 0 : static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&item));
        }
        ++row;
    }
    ::SendMessageW(table, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(table, nullptr, TRUE);
}

StationSetup CProductionLineDlg::SetupFromControls() const {
    const LRESULT chosen = ::SendMessageW(GetDlgItem(IDC_ESN_SOURCE), CB_GETCURSEL, 0, 0);
    return StationSetupOf(m_line.SourceAt(static_cast<int>(chosen)),
                          GetDlgItemText(IDC_STATION_NAME));
}

void CProductionLineDlg::OnOK() {
    if (m_running) {
        return;  // one radio at a time, whatever reached the window meanwhile
    }
    const StationSetup setup = SetupFromControls();
    if (GetDlgItemText(IDC_STATION_NAME) != setup.station) {
        SetDlgItemText(IDC_STATION_NAME, Widen(setup.station));
    }
    if (const std::optional<int> index = ChosenPortIndex(GetDlgItem(IDC_PORT))) {
        m_nPortIndex = *index;
    }

    // Nothing of the last radio stays in view, nor in the window's name, while the next runs.
    m_banner = StationBanner{};
    if (m_resultBrush != nullptr) {
        ::DeleteObject(m_resultBrush);
        m_resultBrush = nullptr;
    }
    SetDlgItemText(IDC_RESULT, L"");
    SetDlgItemText(IDC_RESULT_DETAIL, Widen(kStationInProgress));
    ::SetWindowTextW(GetSafeHwnd(), Widen(Template().caption).c_str());
    ::UpdateWindow(GetSafeHwnd());

    m_running = true;
    const StationRadio radio = m_line.Program(setup, m_nPortIndex, GetDlgItemText(IDC_TYPED_ESN));
    m_running = false;
    ShowResult(radio);
    ShowShift();
    FillSources(setup.source.pool);  // the pool's free count has changed
    SetDlgItemText(IDC_PROMPT, Widen(m_line.Prompt()));
    if (setup.source.Typed()) {
        // Ready for the next scan.
        SetDlgItemText(IDC_TYPED_ESN, L"");
        ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL,
                       reinterpret_cast<WPARAM>(GetDlgItem(IDC_TYPED_ESN)), TRUE);
    }
}

void CProductionLineDlg::ShowResult(const StationRadio& radio) {
    m_banner = BannerOf(radio);
    m_resultBrush = ::CreateSolidBrush(Rgb(m_banner.background));
    SetDlgItemText(IDC_RESULT, Widen(m_banner.word));
    SetDlgItemText(IDC_RESULT_DETAIL, Widen(m_banner.detail));
    ::InvalidateRect(GetDlgItem(IDC_RESULT), nullptr, TRUE);
    // A window's title is its accessible name: a screen reader says the result as it changes.
    ::SetWindowTextW(GetSafeHwnd(), Widen(StationWindowName(Template().caption, radio)).c_str());
    ::KillTimer(GetSafeHwnd(), kBellTimer);
    m_bellsLeft = m_banner.bells;
    RingBell();
}

void CProductionLineDlg::RingBell() {
    if (m_bellsLeft <= 0) {
        ::KillTimer(GetSafeHwnd(), kBellTimer);
        return;
    }
    --m_bellsLeft;
    if (m_ringBell) {
        m_ringBell();
    }
    if (m_bellsLeft > 0) {
        ::SetTimer(GetSafeHwnd(), kBellTimer, static_cast<UINT>(kStationBellIntervalMs), nullptr);
    } else {
        ::KillTimer(GetSafeHwnd(), kBellTimer);
    }
}

bool CProductionLineDlg::OnCommand(int id, int code) {
    if (id == IDC_EXPORT && code == BN_CLICKED) {
        ExportShift();
        return true;
    }
    return false;
}

void CProductionLineDlg::ExportShift() {
    const std::string path = m_chooseExportPath ? m_chooseExportPath(GetSafeHwnd()) : std::string();
    if (const std::string done = m_line.Export(path); !done.empty()) {
        SetDlgItemText(IDC_PROMPT, Widen(done));
    }
}

INT_PTR CProductionLineDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(IDC_RESULT) &&
                m_resultBrush != nullptr) {
                const auto dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, Rgb(m_banner.text));
                ::SetBkColor(dc, Rgb(m_banner.background));
                return reinterpret_cast<INT_PTR>(m_resultBrush);
            }
            return FALSE;
        case WM_TIMER:
            if (wParam == kBellTimer) {
                RingBell();
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

StationKeyAction CProductionLineDlg::KeyAction(HWND control, WPARAM key, LPARAM flags) const {
    const StationKey which = key == VK_SPACE    ? StationKey::Space
                             : key == VK_RETURN ? StationKey::Enter
                                                : StationKey::Other;
    // Bit 30: the key was down already, so this one is the keyboard's repeat.
    const bool repeat = (flags & (LPARAM{1} << 30)) != 0;
    const bool modified = (::GetKeyState(VK_SHIFT) & 0x8000) != 0 ||
                          (::GetKeyState(VK_CONTROL) & 0x8000) != 0 ||
                          (::GetKeyState(VK_MENU) & 0x8000) != 0;
    const std::wstring className = ClassOf(control);
    StationKeyFocus focus = StationKeyFocus::Elsewhere;
    if (_wcsicmp(className.c_str(), L"Button") == 0) {
        focus = control == GetDlgItem(kIdOk) ? StationKeyFocus::RunButton
                                             : StationKeyFocus::OtherButton;
    } else if (_wcsicmp(className.c_str(), L"Edit") == 0) {
        focus = StationKeyFocus::TextField;
    } else if (_wcsicmp(className.c_str(), L"ComboBox") == 0 &&
               ::SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) != FALSE) {
        focus = StationKeyFocus::OtherButton;  // a list dropped down keeps its own keys
    }
    return StationKeyActionOf(which, repeat, modified, focus);
}

LRESULT CALLBACK CProductionLineDlg::ControlProc(HWND control, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<CProductionLineDlg*>(data);
    switch (message) {
        case WM_GETDLGCODE:
            // The dialog manager presses the default button at every Enter, a repeated one too:
            // a repeated Enter is claimed for the control, which drops it.
            if (lParam != 0) {
                const auto* pending = reinterpret_cast<const MSG*>(lParam);
                if (pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN &&
                    self->KeyAction(control, pending->wParam, pending->lParam) ==
                        StationKeyAction::Swallow) {
                    return ::DefSubclassProc(control, message, wParam, lParam) | DLGC_WANTMESSAGE;
                }
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE || wParam == VK_RETURN) {
                const StationKeyAction action = self->KeyAction(control, wParam, lParam);
                // A first Enter is the dialog manager's (the default button, "Program"); only
                // Space runs from here.
                if (action == StationKeyAction::Swallow ||
                    (action == StationKeyAction::Run && wParam == VK_SPACE)) {
                    if (action == StationKeyAction::Run) {
                        self->OnOK();
                    }
                    return 0;
                }
            }
            break;
        case WM_CHAR:
            // The character of a key taken above goes the same way (a list would look it up).
            if (wParam == L' ' || wParam == L'\r') {
                const StationKeyAction action =
                    self->KeyAction(control, wParam == L' ' ? VK_SPACE : VK_RETURN, lParam);
                if (action == StationKeyAction::Swallow ||
                    (action == StationKeyAction::Run && wParam == L' ')) {
                    return 0;
                }
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(control, &CProductionLineDlg::ControlProc, id);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace varnel::win32
