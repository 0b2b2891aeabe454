#pragma once

#include "procedures/Session.h"
#include "ui/Dialog.h"

namespace varnel {

// Reads the connected radio's identity and status and shows it in read-only fields. All radio
// work happens while the dialog initialises, before it is shown; if the port does not open or
// the link fails, the dialog ends without ever appearing.
class CRadioInfoDlg : public CDialog {
    Q_OBJECT
public:
    enum { IDD = 132 };
    enum ControlId : int {
        IDC_MODEL_NUMBER = 1001,
        IDC_SERIAL_NUMBER = 1002,
        IDC_SOFTWARE_VERSION = 1003,
        IDC_CODEPLUG_VERSION = 1004,
        IDC_LAST_PROGRAMMED = 1005,
        IDC_CODEPLUG_PART_NO = 1006,
        IDC_FIRMWARE_PART_NO = 1007,
        IDC_REGIONAL_ID = 1008,
        IDC_ESN = 1009,
        IDC_UUID = 1011,
        IDC_RADIO_IC_VERSIONS = 1013,
    };

    // Every exchange runs on session.
    explicit CRadioInfoDlg(Session session, QWidget* parent = nullptr);

    bool OnInitDialog() override;

private:
    Session m_session;
};

}  // namespace varnel
