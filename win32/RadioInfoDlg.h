#pragma once

#include "procedures/Session.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Reads the connected radio's identity and status and shows it in read-only fields. All radio
// work happens while the dialog initialises, before it is shown; if the port does not open or
// the link fails, the dialog ends without ever appearing.
class CRadioInfoDlg : public CDialog, public RadioInfoIds {
public:
    // Every exchange runs on session.
    CRadioInfoDlg(Session session, HWND owner);

protected:
    bool OnInitDialog() override;

private:
    Session m_session;
};

}  // namespace varnel::win32
