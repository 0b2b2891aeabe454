#pragma once

#include "link/PortNames.h"
#include "procedures/PortList.h"
#include "ui/Dialog.h"

namespace varnel {

// Lets the user choose the serial port of every later exchange. Only the ports that exist on the
// machine are offered; they are found afresh each time the dialog opens, so an adapter plugged
// in or pulled out since the last run shows accordingly.
class CConfigurationDlg : public CDialog, public ConfigurationIds {
public:
    // The ports are found through resolver and judged by probe.
    explicit CConfigurationDlg(PortResolver resolver, QWidget* parent = nullptr,
                               PortProbe probe = ProbePort);

    // The port index shown and chosen, 0 for COM1 to 3 for COM4. The caller sets it before
    // DoModal and takes it back only when DoModal returns IDOK.
    int m_nPortIndex = -1;

    bool OnInitDialog() override;
    void OnOK() override;

private:
    PortResolver m_resolver;
    PortProbe m_probe;
};

}  // namespace varnel
