#pragma once

#include <vector>

#include "procedures/PortList.h"
#include "procedures/PortMapping.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Lets the user choose the serial port of every later exchange. Only the ports that exist on the
// machine are offered; they are found afresh each time the dialog opens, so an adapter plugged
// in or pulled out since the last run shows accordingly. Under the list stands the port the
// chosen name leads to, as Device Manager names it; Devices... maps the names to other COM ports.
class CConfigurationDlg : public CDialog, public ConfigurationIds {
public:
    // The ports are found through resolver and judged by probe.
    explicit CConfigurationDlg(PortResolver resolver = {}, HWND owner = nullptr,
                               PortProbe probe = ProbePort, PortMappingAccess mapping = {});

    // The port index shown and chosen, 0 for COM1 to 3 for COM4. The caller sets it before
    // DoModal and takes it back only when DoModal returns IDOK.
    int m_nPortIndex = -1;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code) override;

private:
    // Finds the ports and devices afresh and shows them, with portIndex chosen where listed.
    void FillPortList(int portIndex);
    void ShowPortDevice();
    void OnDevices();

    PortResolver m_resolver;
    PortProbe m_probe;
    PortMappingAccess m_mapping;
    std::vector<PortEntry> m_ports;
    std::vector<SerialDevice> m_devices;
};

}  // namespace varnel::win32
