#include "win32/EsnRegistryDlg.h"

#include <utility>

#include "win32/Text.h"
#include "win32/WaitCursor.h"

namespace varnel::win32 {

CEsnRegistryDlg::CEsnRegistryDlg(std::string stored, RegistryOpener open,
                                 RegistryLocationWriter write, IMessageReporter& reporter,
                                 HWND owner)
    : CDialog(EsnRegistryTemplate(), owner),
      m_model(std::move(stored), std::move(open), std::move(write), reporter) {}

bool CEsnRegistryDlg::OnInitDialog() {
    SetDlgItemText(IDC_REGISTRY_LOCATION, Widen(m_model.LocationText()));
    SetDlgItemText(IDC_REGISTRY_DEFAULT, Widen(RegistryDialogModel::DefaultText()));
    {
        // A registry server that does not answer keeps the dialog waiting up to its timeout.
        CWaitCursor wait;
        m_model.Load();
    }
    ShowOverview();
    return true;
}

bool CEsnRegistryDlg::OnCommand(int id, int code) {
    if (id == IDC_REGISTRY_TEST && code == BN_CLICKED) {
        m_model.Test(GetDlgItemText(IDC_REGISTRY_LOCATION));
        ShowOverview();
        return true;
    }
    return false;
}

void CEsnRegistryDlg::OnOK() {
    if (!m_model.Accept(GetDlgItemText(IDC_REGISTRY_LOCATION))) {
        // The location stays as typed, for the user to put right.
        ShowOverview();
        ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL,
                       reinterpret_cast<WPARAM>(GetDlgItem(IDC_REGISTRY_LOCATION)), TRUE);
        return;
    }
    EndDialog(IDOK);
}

void CEsnRegistryDlg::ShowOverview() {
    const RegistryOverview& shown = m_model.Shown();
    SetListLines(IDC_REGISTRY_POOLS, shown.pools);
    SetListLines(IDC_REGISTRY_ENTRIES, shown.entries);
    SetDlgItemText(IDC_REGISTRY_STATUS, Widen(shown.status));
}

}  // namespace varnel::win32
