// The commands that open the dialogs. Each handler builds its dialog for the length of the call
// and runs it modally; only Configuration and Production Line look at the result.
#include <cctype>
#include <utility>

#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "win32/AboutDlg.h"
#include "win32/ConfigurationDlg.h"
#include "win32/EsnRegistryDlg.h"
#include "win32/MessageBoxReporter.h"
#include "win32/ProductionLineDlg.h"
#include "win32/ProgramEsnDlg.h"
#include "win32/ProgramRegionalIdDlg.h"
#include "win32/RadioInfoDlg.h"
#include "win32/VarnelApp.h"

namespace varnel::win32 {
void CVarnelApp::OnAppAbout() {
    CAboutDlg dialog(GetMainWnd());
    dialog.DoModal();
}

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
    mapping.write = [this](const std::vector<PortMappingChange>& changes) {
        return WritePortMapping(changes);
    };
    mapping.reporter = m_pReporter.get();
    CConfigurationDlg dialog(GetMainWnd(), m_portResolver, ProbePort, std::move(mapping));
    dialog.m_nPortIndex = m_nSerialPort;
    if (dialog.DoModal() == IDOK) {
        m_nSerialPort = dialog.m_nPortIndex;
        // Kept at once, as the port mapping is: the program may yet be ended without an exit.
        SaveSettings();
    }
}

std::string CVarnelApp::WritePortMapping(const std::vector<PortMappingChange>& changes) {
    return varnel::WritePortMapping(*m_pSettings, {}, changes);
}

void CVarnelApp::OnEsnRegistry() {
    CEsnRegistryDlg dialog(
        GetMainWnd(), RegistryLocationSetting(*m_pSettings), OpenEsnRegistry,
        [this](const std::string& location) { return WriteRegistryLocation(location); },
        *m_pReporter);
    dialog.DoModal();
}

std::string CVarnelApp::WriteRegistryLocation(const std::string& location) {
    return varnel::WriteRegistryLocation(*m_pSettings, {}, location);
}

void CVarnelApp::OnProgramRegionalId() {
    CProgramRegionalIdDlg dialog(MakeSession(ID_PROGRAM_REGIONAL_ID), GetMainWnd());
    dialog.DoModal();
}

}  // namespace varnel::win32
