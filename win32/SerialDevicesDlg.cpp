#include "win32/SerialDevicesDlg.h"

#include <utility>

#include "procedures/PortList.h"
#include "strings/StringTable.h"
#include "win32/Text.h"

namespace varnel::win32 {

CSerialDevicesDlg::CSerialDevicesDlg(HWND owner, PortResolver stored,
                                     std::vector<SerialDevice> devices, PortMappingWriter writer,
                                     IMessageReporter& reporter)
    : CDialog(SerialDevicesTemplate(), owner),
      m_stored(std::move(stored)),
      m_devices(std::move(devices)),
      m_writer(std::move(writer)),
      m_reporter(reporter) {}

bool CSerialDevicesDlg::OnInitDialog() {
    m_rows.clear();
    m_changes.clear();
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        const std::string portName = PortNameFromIndex(number - 1);
        DeviceRow row =
            MakeDeviceRow(portName, m_stored ? m_stored(portName) : std::string(), m_devices);
        HWND combo = GetDlgItem(DeviceControl(number));
        ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const DeviceEntry& entry : row.entries) {
            const std::wstring text = Widen(entry.text);
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        // The entries are in the row's order (the list is not sorted), so an entry's place is
        // its index in the row.
        ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(row.selected), 0);
        if (row.selected < 0) {
            SetDlgItemText(DeviceControl(number), Widen(row.shownText));
        }
        m_rows.push_back(std::move(row));
    }
    return true;
}

void CSerialDevicesDlg::OnOK() {
    std::vector<PortMappingChange> changes;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const DeviceRow& row = m_rows[i];
        const int id = DeviceControl(static_cast<int>(i) + kFirstPortNumber);
        const DeviceChoice choice = ChooseDevice(row, GetDlgItemText(id));
        if (!choice.error.empty()) {
            m_reporter.Show({MSG_ERROR, IDS_DEVICE_PATH_INVALID, CaptionForKind(MSG_ERROR),
                             LoadString(IDS_DEVICE_PATH_INVALID), choice.error});
            ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(id)),
                           TRUE);
            return;
        }
        if (choice.device != row.stored) {
            changes.push_back({row.portName, choice.device});
        }
    }
    if (!changes.empty()) {
        const std::string why =
            m_writer ? m_writer(changes) : std::string("There is nowhere to keep the mapping.");
        if (!why.empty()) {
            // The choices stay on screen: the user may put the registry right and press OK again.
            m_reporter.Show({MSG_ERROR, IDS_PORT_MAPPING_NOT_SAVED, CaptionForKind(MSG_ERROR),
                             LoadString(IDS_PORT_MAPPING_NOT_SAVED), why});
            return;
        }
    }
    m_changes = std::move(changes);
    CDialog::OnOK();
}

}  // namespace varnel::win32
