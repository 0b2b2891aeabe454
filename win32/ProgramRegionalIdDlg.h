#pragma once

#include "procedures/Session.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Writes a Regional ID into a radio that has none yet. Opening the dialog reads the radio's
// Regional ID and goes on only when it is "none"; "Program" writes the chosen region's code in
// one exchange. Each exchange opens and closes the port itself. No menu offers the dialog: it
// runs only when its command is dispatched.
class CProgramRegionalIdDlg : public CDialog, public ProgramRegionalIdIds {
public:
    // Every exchange runs on session.
    CProgramRegionalIdDlg(Session session, HWND owner);

protected:
    // The test for a radio without a Regional ID. Ends the dialog (cancel) unless the radio
    // answers with the one byte that means "none"; otherwise fills the region list with nothing
    // selected.
    bool OnInitDialog() override;
    // "Program": one complete exchange; the dialog closes only after a successful write.
    void OnOK() override;

private:
    Session m_session;
};

}  // namespace varnel::win32
