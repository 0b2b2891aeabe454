// The dialogs of the application's commands, each built for the length of the call and run
// modally.
#include <utility>

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

void CVarnelApp::ShowAbout() {
    CAboutDlg dialog(GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::ShowRadioInfo(Session session) {
    CRadioInfoDlg dialog(std::move(session), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::ShowProgramEsn(Session session) {
    CProgramEsnDlg dialog(std::move(session), GetMainWnd());
    dialog.DoModal();
}

void CVarnelApp::ShowProgramRegionalId(Session session) {
    CProgramRegionalIdDlg dialog(std::move(session), GetMainWnd());
    dialog.DoModal();
}

std::optional<int> CVarnelApp::ChoosePort(int current, PortMappingAccess mapping) {
    CConfigurationDlg dialog(GetMainWnd(), GetPortResolver(), ProbePort, std::move(mapping));
    return PortChosenIn(dialog, current);
}

int CVarnelApp::RunProductionLine(Session session, int current) {
    CProductionLineDlg dialog(std::move(session), Settings(), GetPortResolver(), current,
                              GetMainWnd());
    dialog.DoModal();
    return dialog.m_nPortIndex;
}

void CVarnelApp::ShowEsnRegistry(RegistryLocationAccess access) {
    CEsnRegistryDlg dialog(GetMainWnd(), std::move(access.stored), std::move(access.open),
                           std::move(access.write), *m_pReporter);
    dialog.DoModal();
}

}  // namespace varnel::win32
