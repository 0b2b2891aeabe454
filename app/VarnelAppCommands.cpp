// The commands that open the radio dialogs. Each handler builds its dialog for the length of the
// call and runs it modally; only Configuration looks at the result.
#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/EsnRegistryDlg.h"
#include "dialogs/ProductionLineDlg.h"
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
    // Said before the radio is even asked.
    Session session = MakeSession(ID_PROGRAM_ESN);
    if (!m_registry.HandTo(session)) {
        return;
    }
    CProgramEsnDlg dialog(std::move(session), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::OnProductionLine() {
    Session session = MakeSession(ID_PRODUCTION_LINE);
    if (!m_registry.HandTo(session)) {
        return;
    }
    CProductionLineDlg dialog(std::move(session), *m_pSettings, m_portResolver, m_nSerialPort,
                              GetMainWnd());
    dialog.DoModal();
    // The port the station was run on is the program's port from now on, as Configuration's.
    m_nSerialPort = dialog.m_nPortIndex;
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
