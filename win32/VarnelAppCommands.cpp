// The commands that open the dialogs. Each handler builds its dialog for the length of the call
// and runs it modally; only Configuration looks at the result.
#include <cctype>
#include <utility>

#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "win32/AboutDlg.h"
#include "win32/ConfigurationDlg.h"
#include "win32/EsnRegistryDlg.h"
#include "win32/MessageBoxReporter.h"
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
    // Without a registry no ESN may be written: said before the radio is even asked.
    IEsnRegistry* registry = m_registry.OpenOrTell(*m_pReporter);
    if (registry == nullptr) {
        return;
    }
    Session session = MakeSession(ID_PROGRAM_ESN);
    session.registry = registry;
    CProgramEsnDlg dialog(std::move(session), GetMainWnd());
    dialog.DoModal();
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
