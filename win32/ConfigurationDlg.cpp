#include "win32/ConfigurationDlg.h"

#include <utility>

#include "win32/PortChoice.h"
#include "win32/SerialDevicesDlg.h"
#include "win32/Text.h"
#include "win32/WaitCursor.h"

namespace varnel::win32 {

CConfigurationDlg::CConfigurationDlg(PortResolver resolver, HWND owner, PortProbe probe,
                                     PortMappingAccess mapping)
    : CDialog(ConfigurationTemplate(), owner),
      m_resolver(std::move(resolver)),
      m_probe(std::move(probe)),
      m_mapping(std::move(mapping)) {}

bool CConfigurationDlg::OnInitDialog() {
    ::EnableWindow(GetDlgItem(IDC_DEVICES), m_mapping.write ? TRUE : FALSE);
    FillPortList(m_nPortIndex);
    return true;
}

void CConfigurationDlg::FillPortList(int portIndex) {
    {
        // Judging a port opens it, and opening some (an outgoing Bluetooth port) takes seconds.
        CWaitCursor wait;
        m_devices = PresentDevices(m_mapping);
        m_ports = ListPorts(m_resolver, m_probe);
    }
    // A port held by another program is still offered: it may be free by the next exchange,
    // which then says plainly that it cannot open it. A stored index whose port is not listed
    // (absent now, or out of range) shows no selection.
    FillPortChoice(GetDlgItem(IDC_SERIAL_PORT), m_ports, portIndex,
                   [](const PortEntry& port) { return port.presence != PortPresence::Missing; });
    ShowPortDevice();
}

void CConfigurationDlg::ShowPortDevice() {
    HWND list = GetDlgItem(IDC_SERIAL_PORT);
    std::string line;
    const std::optional<int> index = ChosenPortIndex(list);
    if (::SendMessageW(list, CB_GETCOUNT, 0, 0) <= 0) {
        line = "No port is found for COM1 to COM4. Map one under Devices...";
    } else if (index) {
        for (const PortEntry& port : m_ports) {
            if (port.index == *index) {
                line = DescribePortDevice(port, m_devices);
            }
        }
    }
    SetDlgItemText(IDC_PORT_DEVICE, Widen(line));
}

bool CConfigurationDlg::OnCommand(int id, int code) {
    if (id == IDC_SERIAL_PORT && code == CBN_SELCHANGE) {
        ShowPortDevice();
        return true;
    }
    if (id == IDC_DEVICES && code == BN_CLICKED) {
        OnDevices();
        return true;
    }
    return false;
}

void CConfigurationDlg::OnDevices() {
    if (!m_mapping.write) {
        return;
    }
    // The entry chosen here stays chosen if its port is still listed afterwards.
    HWND list = GetDlgItem(IDC_SERIAL_PORT);
    const int chosen = ChosenPortIndex(list).value_or(m_nPortIndex);
    std::vector<SerialDevice> devices;
    {
        CWaitCursor wait;
        devices = PresentDevices(m_mapping);
    }
    CSerialDevicesDlg dialog(GetSafeHwnd(), m_resolver, std::move(devices), m_mapping.write,
                             *m_mapping.reporter);
    if (dialog.DoModal() == IDOK) {
        FillPortList(chosen);
        // Back to the port list, with OK the default again: the user goes on to choose the port
        // just mapped, and Enter then ends the dialog rather than pressing Devices... again.
        ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    }
}

void CConfigurationDlg::OnOK() {
    if (const std::optional<int> index = ChosenPortIndex(GetDlgItem(IDC_SERIAL_PORT))) {
        m_nPortIndex = *index;
    }
    CDialog::OnOK();
}

}  // namespace varnel::win32
