#pragma once

#include <vector>

#include "link/PortNames.h"
#include "procedures/PortList.h"
#include "procedures/PortMapping.h"
#include "strings/Messages.h"
#include "ui/Dialog.h"

namespace varnel {

// Lets the user choose the serial port of every later exchange. Only the ports that exist on the
// machine are offered; they are found afresh each time the dialog opens, so an adapter plugged
// in or pulled out since the last run shows accordingly. Under the list stands the device the
// chosen port leads to; Devices... maps the port names to devices.
class CConfigurationDlg : public CDialog, public ConfigurationIds {
    Q_OBJECT
public:
    // The ports are found through resolver and judged by probe.
    explicit CConfigurationDlg(PortResolver resolver, QWidget* parent = nullptr,
                               PortProbe probe = ProbePort, PortMappingAccess mapping = {});

    // The port index shown and chosen, 0 for COM1 to 3 for COM4. The caller sets it before
    // DoModal and takes it back only when DoModal returns kIdOk.
    int m_nPortIndex = -1;

    bool OnInitDialog() override;
    void OnOK() override;
    // Devices...
    void OnCommand(int id) override;

    // Runs the Serial Devices dialog on this one; when it ends with OK the ports are found
    // again. Returns its result.
    int OnDevices();

private:
    // Finds the ports and the devices, fills the list and selects the entry of portIndex.
    void FillPortList(int portIndex);
    void ShowPortDevice();
    // A mapping can be both written and, when that fails, told.
    bool CanMapDevices() const;

    PortResolver m_resolver;
    PortProbe m_probe;
    PortMappingAccess m_mapping;
    std::vector<PortEntry> m_ports;
    std::vector<SerialDevice> m_devices;
};

}  // namespace varnel
