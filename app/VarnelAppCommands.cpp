// The commands that open the radio dialogs. Each handler builds its dialog for the length of the
// call and runs it modally; only Configuration looks at the result.
#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/EsnRegistryDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {

void CVarnelApp::OnRadioInfo() {
    CRadioInfoDlg dialog(MakeSession(ID_RADIO_INFO), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::OnProgramEsn() {
    // Without a registry no ESN may be written: said before the radio is even asked.
    std::string why;
    IEsnRegistry* registry = Registry(why);
    if (registry == nullptr) {
        ShowText(*m_pReporter, MSG_ERROR, IDS_REGISTRY_FAILED, LoadString(IDS_REGISTRY_FAILED),
                 why);
        return;
    }
    Session session = MakeSession(ID_PROGRAM_ESN);
    session.registry = registry;
    CProgramEsnDlg dialog(std::move(session), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::OnConfiguration() {
    PortMappingAccess mapping;
    mapping.listDevices = m_deviceLister;
    mapping.write = [this](const std::vector<PortMappingChange>& changes) {
        return WritePortMapping(changes);
    };
    mapping.reporter = m_pReporter.get();
    CConfigurationDlg dialog(m_portResolver, GetMainWnd(), ProbePort, std::move(mapping));
    RunPortSelection(dialog);
}

void CVarnelApp::OnEsnRegistry() {
    RegistryOpener open = m_registryOpener ? m_registryOpener : RegistryOpener(OpenEsnRegistry);
    CEsnRegistryDlg dialog(
        RegistryLocationSetting(*m_pSettings), std::move(open),
        [this](const std::string& location) { return WriteRegistryLocation(location); },
        *m_pReporter, GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::OnProgramRegionalId() {
    CProgramRegionalIdDlg dialog(MakeSession(ID_PROGRAM_REGIONAL_ID), GetMainWnd());
    dialog.DoModal();
}

}  // namespace varnel
