#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "link/PortNames.h"
#include "usecases/Application.h"

namespace varnel {

// The classes one window is made of, named for CWindowedApplication.
template <class TMainFrame, class TReporter, class TRunner, class TAboutDlg, class TRadioInfoDlg,
          class TProgramEsnDlg, class TProgramRegionalIdDlg, class TConfigurationDlg,
          class TProductionLineDlg, class TEsnRegistryDlg>
struct WindowClasses {
    using MainFrame = TMainFrame;
    using Reporter = TReporter;
    using Runner = TRunner;
    using AboutDlg = TAboutDlg;
    using RadioInfoDlg = TRadioInfoDlg;
    using ProgramEsnDlg = TProgramEsnDlg;
    using ProgramRegionalIdDlg = TProgramRegionalIdDlg;
    using ConfigurationDlg = TConfigurationDlg;
    using ProductionLineDlg = TProductionLineDlg;
    using EsnRegistryDlg = TEsnRegistryDlg;
};

// What a window adds to the application, the same in every window: the main window, its
// message boxes and its exchange runner; commands routed through the main window, so that what
// its menu allows at the moment counts; and each command's dialog, built for the length of the
// call and run modally above the main window.
//
// TWindow is the window's WindowClasses: MainFrame has bool OnCommand(int); Runner has
// ProcedureRunner For(std::string, Owner); each dialog is built as the window's dialogs are,
// with the owner last. OwnerOf(MainFrame*), found beside MainFrame, gives the owner of every
// dialog and box.
template <class TWindow>
class CWindowedApplication : public CApplication {
public:
    using MainFrame = typename TWindow::MainFrame;
    using Owner = decltype(OwnerOf(std::declval<MainFrame*>()));

    explicit CWindowedApplication(std::unique_ptr<SettingsStore> settings = nullptr);
    ~CWindowedApplication() override;

    // Runs a command as the menu would; false when nothing handles it.
    bool DispatchCommand(int commandId);

protected:
    // The main window; null before start-up and after exit.
    Owner DialogOwner() const;

    IMessageReporter& Reporter() override;
    ProcedureRunner RunnerFor(const std::string& command) override;
    void ShowAbout() override;
    void ShowRadioInfo(Session session) override;
    void ShowProgramEsn(Session session) override;
    void ShowProgramRegionalId(Session session) override;
    std::optional<int> ChoosePort(int current, PortMappingAccess mapping) override;
    int RunProductionLine(Session session, int current) override;
    void ShowEsnRegistry(RegistryLocationAccess access) override;

    std::unique_ptr<typename TWindow::Reporter> m_pReporter;
    // Made by the window, which may need its own handles for it.
    std::unique_ptr<typename TWindow::Runner> m_pRunner;
    std::unique_ptr<MainFrame> m_pMainWnd;
};

template <class TWindow>
CWindowedApplication<TWindow>::CWindowedApplication(std::unique_ptr<SettingsStore> settings)
    : CApplication(std::move(settings)),
      m_pReporter(std::make_unique<typename TWindow::Reporter>()) {}

template <class TWindow>
CWindowedApplication<TWindow>::~CWindowedApplication() = default;

template <class TWindow>
bool CWindowedApplication<TWindow>::DispatchCommand(int commandId) {
    if (m_pMainWnd) {
        return m_pMainWnd->OnCommand(commandId);
    }
    return m_commands.Dispatch(commandId);
}

template <class TWindow>
typename CWindowedApplication<TWindow>::Owner CWindowedApplication<TWindow>::DialogOwner() const {
    return OwnerOf(m_pMainWnd.get());
}

template <class TWindow>
IMessageReporter& CWindowedApplication<TWindow>::Reporter() {
    return *m_pReporter;
}

template <class TWindow>
ProcedureRunner CWindowedApplication<TWindow>::RunnerFor(const std::string& command) {
    return m_pRunner->For(command, DialogOwner());
}

template <class TWindow>
void CWindowedApplication<TWindow>::ShowAbout() {
    typename TWindow::AboutDlg dialog(DialogOwner());
    dialog.DoModal();
}

template <class TWindow>
void CWindowedApplication<TWindow>::ShowRadioInfo(Session session) {
    typename TWindow::RadioInfoDlg dialog(std::move(session), DialogOwner());
    dialog.DoModal();
}

template <class TWindow>
void CWindowedApplication<TWindow>::ShowProgramEsn(Session session) {
    typename TWindow::ProgramEsnDlg dialog(std::move(session), DialogOwner());
    dialog.DoModal();
}

template <class TWindow>
void CWindowedApplication<TWindow>::ShowProgramRegionalId(Session session) {
    typename TWindow::ProgramRegionalIdDlg dialog(std::move(session), DialogOwner());
    dialog.DoModal();
}

template <class TWindow>
std::optional<int> CWindowedApplication<TWindow>::ChoosePort(int current,
                                                             PortMappingAccess mapping) {
    typename TWindow::ConfigurationDlg dialog(GetPortResolver(), DialogOwner(), ProbePort,
                                              std::move(mapping));
    return PortChosenIn(dialog, current);
}

template <class TWindow>
int CWindowedApplication<TWindow>::RunProductionLine(Session session, int current) {
    typename TWindow::ProductionLineDlg dialog(std::move(session), Settings(), GetPortResolver(),
                                               current, DialogOwner());
    dialog.DoModal();
    return dialog.m_nPortIndex;
}

template <class TWindow>
void CWindowedApplication<TWindow>::ShowEsnRegistry(RegistryLocationAccess access) {
    typename TWindow::EsnRegistryDlg dialog(std::move(access.stored), std::move(access.open),
                                            std::move(access.write), Reporter(), DialogOwner());
    dialog.DoModal();
}

}  // namespace varnel
