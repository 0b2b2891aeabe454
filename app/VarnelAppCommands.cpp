// The commands that open the radio dialogs. Each handler builds its dialog for the length of the
// call and runs it modally; only Configuration looks at the result.
#include "app/MainFrame.h"
#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"

namespace varnel {

void CVarnelApp::OnRadioInfo() {
    CRadioInfoDlg dialog(MakeSession(), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::OnProgramEsn() {
    CProgramEsnDlg dialog(MakeSession(), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::OnConfiguration() {
    CConfigurationDlg dialog(m_portResolver, GetMainWnd());
    RunPortSelection(dialog);
}

void CVarnelApp::OnProgramRegionalId() {
    CProgramRegionalIdDlg dialog(MakeSession(), GetMainWnd());
    dialog.DoModal();
}

}  // namespace varnel
