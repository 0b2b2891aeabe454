// The commands that open the radio dialogs. Each handler builds its dialog for the length of the
// call and runs it modally; only Configuration looks at the result.
#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"

namespace varnel {

void CVarnelApp::OnRadioInfo() {
    CRadioInfoDlg dialog;
    dialog.DoModal();
}

void CVarnelApp::OnProgramEsn() {
    CProgramEsnDlg dialog;
    dialog.DoModal();
}

void CVarnelApp::OnConfiguration() {
    CConfigurationDlg dialog;
    RunPortSelection(dialog);
}

void CVarnelApp::OnProgramRegionalId() {
    CProgramRegionalIdDlg dialog;
    dialog.DoModal();
}

}  // namespace varnel
