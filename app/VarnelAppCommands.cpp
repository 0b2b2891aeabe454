// The dialogs of the application's commands, each built for the length of the call and run
// modally.
#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/EsnRegistryDlg.h"
#include "dialogs/ProductionLineDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"

namespace varnel {

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
    CConfigurationDlg dialog(GetPortResolver(), GetMainWnd(), ProbePort, std::move(mapping));
    return PortChosenIn(dialog, current);
}

int CVarnelApp::RunProductionLine(Session session, int current) {
    CProductionLineDlg dialog(std::move(session), Settings(), GetPortResolver(), current,
                              GetMainWnd());
    dialog.DoModal();
    return dialog.m_nPortIndex;
}

void CVarnelApp::ShowEsnRegistry(RegistryLocationAccess access) {
    CEsnRegistryDlg dialog(std::move(access.stored), std::move(access.open),
                           std::move(access.write), Reporter(), GetMainWnd());
    dialog.DoModal();
}

}  // namespace varnel
