#pragma once

#include "procedures/PortList.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Lets the user choose the serial port of every later exchange. Only the ports that exist on the
// machine are offered; they are found afresh each time the dialog opens, so an adapter plugged
// in or pulled out since the last run shows accordingly.
class CConfigurationDlg : public CDialog, public ConfigurationIds {
public:
    // The ports are judged by probe.
    explicit CConfigurationDlg(HWND owner, PortProbe probe = ProbePort);

    // The port index shown and chosen, 0 for COM1 to 3 for COM4. The caller sets it before
    // DoModal and takes it back only when DoModal returns IDOK.
    int m_nPortIndex = -1;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    PortProbe m_probe;
};

}  // namespace varnel::win32
