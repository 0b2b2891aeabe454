#pragma once

#include <string>
#include <vector>

#include "link/PortNames.h"
#include "procedures/PortMapping.h"
#include "strings/Messages.h"
#include "usecases/SerialDevicesChoice.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Maps each of COM1 to COM4 to a port present on the machine (listed as Device Manager names it),
// a COM name the user types, or the port's own \\.\COMn. OK writes the mappings that changed at
// once, through the writer it is handed; Cancel changes nothing.
class CSerialDevicesDlg : public CDialog, public SerialDevicesIds {
public:
    // stored gives each port name's mapping as it is kept now (empty: the default); devices are
    // the ones present, to choose from; writer keeps the changes, and reporter tells the user
    // why they could not be kept.
    CSerialDevicesDlg(HWND owner, PortResolver stored, std::vector<SerialDevice> devices,
                      PortMappingWriter writer, IMessageReporter& reporter);

    // The mappings OK wrote; empty when nothing changed or the dialog did not end with OK.
    const std::vector<PortMappingChange>& Changes() const { return m_choice.Changes(); }

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    CSerialDevicesChoice m_choice;
};

}  // namespace varnel::win32
