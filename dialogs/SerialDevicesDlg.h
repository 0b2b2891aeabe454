#pragma once

#include <QString>

#include <string>
#include <vector>

#include "link/PortNames.h"
#include "procedures/PortMapping.h"
#include "strings/Messages.h"
#include "ui/Dialog.h"
#include "usecases/SerialDevicesChoice.h"

namespace varnel {

// Maps each of COM1 to COM4 to a device: one found on the machine, a path the user types, or
// the port's default. OK writes the mappings that changed at once, through the writer it is
// handed; Cancel changes nothing.
class CSerialDevicesDlg : public CDialog, public SerialDevicesIds {
    Q_OBJECT
public:
    // stored gives each port name's mapping as it is kept now (empty: the default); devices are
    // the ones present, to choose from; writer keeps the changes, and reporter tells the user
    // why they could not be kept.
    CSerialDevicesDlg(PortResolver stored, std::vector<SerialDevice> devices,
                      PortMappingWriter writer, IMessageReporter& reporter,
                      QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;

    // The mappings OK wrote; empty when nothing changed or the dialog did not end with OK.
    const std::vector<PortMappingChange>& Changes() const { return m_choice.Changes(); }

    // The text of the entry that stands for a port's default device.
    static QString DefaultEntryText(const std::string& portName);

private:
    CSerialDevicesChoice m_choice;
};

}  // namespace varnel
