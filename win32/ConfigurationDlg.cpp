#include "win32/ConfigurationDlg.h"

#include <utility>

#include "win32/Text.h"

namespace varnel::win32 {

CConfigurationDlg::CConfigurationDlg(HWND owner, PortProbe probe)
    : CDialog(ConfigurationTemplate(), owner), m_probe(std::move(probe)) {}

bool CConfigurationDlg::OnInitDialog() {
    // On Windows a port is chosen by its COM name: there is no mapping to a device to show or to
    // edit, so the device line and the "Devices..." button of the shared layout stay hidden.
    ::ShowWindow(GetDlgItem(IDC_PORT_DEVICE), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_DEVICES), SW_HIDE);
    HWND list = GetDlgItem(IDC_SERIAL_PORT);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    // A port held by another program is still offered: it may be free by the next exchange,
    // which then says plainly that it cannot open it.
    for (const PortEntry& port : ListPorts(PortResolver(), m_probe)) {
        if (port.presence == PortPresence::Missing) {
            continue;
        }
        const std::wstring name = Widen(port.name);
        const LRESULT at =
            ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (at < 0) {
            continue;
        }
        ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), port.index);
        if (port.index == m_nPortIndex) {
            selected = static_cast<int>(at);
        }
    }
    // A stored index whose port is not listed (absent now, or out of range) shows no selection.
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    return true;
}

void CConfigurationDlg::OnOK() {
    HWND list = GetDlgItem(IDC_SERIAL_PORT);
    const LRESULT selected = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected != CB_ERR) {
        const LRESULT index =
            ::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
        if (index != CB_ERR) {
            m_nPortIndex = static_cast<int>(index);
        }
    }
    CDialog::OnOK();
}

}  // namespace varnel::win32
