#include "win32/ProgramRegionalIdDlg.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "radio/Regions.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "usecases/RegionEntry.h"
#include "win32/Text.h"

namespace varnel::win32 {

CProgramRegionalIdDlg::CProgramRegionalIdDlg(Session session, HWND owner)
    : CDialog(ProgramRegionalIdTemplate(), owner), m_session(std::move(session)) {}

bool CProgramRegionalIdDlg::OnInitDialog() {
    if (!MayChooseRegion(m_session)) {
        EndDialog(IDCANCEL);
        return true;
    }
    HWND list = GetDlgItem(IDC_REGIONAL_ID);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const int id : kOfferedRegionStrings) {
        const std::wstring text = Widen(LoadString(id));
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Nothing is preselected: the user must choose a region on purpose.
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    return true;
}

void CProgramRegionalIdDlg::OnOK() {
    const auto position =
        static_cast<int>(::SendMessageW(GetDlgItem(IDC_REGIONAL_ID), CB_GETCURSEL, 0, 0));
    if (ProgramChosenRegion(m_session, position)) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the choice unchanged, for another try or Abort.
}

}  // namespace varnel::win32
