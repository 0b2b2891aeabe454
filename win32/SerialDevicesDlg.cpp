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
      m_choice(std::move(stored), std::move(devices), std::move(writer), reporter) {}

bool CSerialDevicesDlg::OnInitDialog() {
    const std::vector<DeviceRow>& rows = m_choice.MakeRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const DeviceRow& row = rows[i];
        const int id = DeviceControl(static_cast<int>(i) + kFirstPortNumber);
        HWND combo = GetDlgItem(id);
        ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const DeviceEntry& entry : row.entries) {
            const std::wstring text = Widen(entry.text);
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        // The entries are in the row's order (the list is not sorted), so an entry's place is
        // its index in the row.
        ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(row.selected), 0);
        if (row.selected < 0) {
            SetDlgItemText(id, Widen(row.shownText));
        }
    }
    return true;
}

void CSerialDevicesDlg::OnOK() {
    auto id = [](std::size_t row) {
        return DeviceControl(static_cast<int>(row) + kFirstPortNumber);
    };
    if (m_choice.Keep([&](std::size_t row) { return GetDlgItemText(id(row)); },
                      [&](std::size_t row) {
                          ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL,
                                         reinterpret_cast<WPARAM>(GetDlgItem(id(row))), TRUE);
                      })) {
        CDialog::OnOK();
    }
}

}  // namespace varnel::win32
