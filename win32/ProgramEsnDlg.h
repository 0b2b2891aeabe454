#pragma once

#include "procedures/Session.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Writes an ESN into a radio that has none yet. Opening the dialog reads the radio's ESN and
// goes on only for a blank radio; "Program" parses the three fields, adds the check byte and
// writes the value in one exchange. Each exchange opens and closes the port itself.
class CProgramEsnDlg : public CDialog, public ProgramEsnIds {
public:
    // Every exchange runs on session.
    CProgramEsnDlg(Session session, HWND owner);

protected:
    // The blank test. Ends the dialog (cancel) unless the radio answers with a blank ESN.
    bool OnInitDialog() override;
    // "Program": one complete exchange; the dialog closes only after a successful write.
    void OnOK() override;

private:
    Session m_session;
};

}  // namespace varnel::win32
