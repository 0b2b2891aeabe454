#pragma once

#include <functional>
#include <string>
#include <vector>

#include "procedures/PortList.h"
#include "procedures/Session.h"
#include "settings/SettingsStore.h"
#include "ui/Dialog.h"
#include "usecases/ProductionStation.h"

namespace varnel {

// The production station's window: radio after radio, one key each. Enter, Space (a foot switch
// that sends either) or "Program" runs the next radio; its result shows large, rings the bell
// (once for a pass, three times otherwise) and is put in the window's accessible name. While a
// radio is in progress the exchange's progress window takes every key, and Esc cancels it.
class CProductionLineDlg : public CDialog, public ProductionLineIds {
    Q_OBJECT
public:
    // Every radio runs on session, which carries the registry; the set-up is remembered in
    // settings; ports are listed as Configuration lists them.
    CProductionLineDlg(Session session, SettingsStore& settings, PortResolver resolver,
                       int portIndex, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    // Enter and "Program": the next radio. The window stays open.
    void OnOK() override;
    void OnCommand(int id) override;

    // The serial port index chosen in the window, for the application to keep.
    int m_nPortIndex;

    // How the export asks for its file (tests answer without a file dialog): empty to cancel.
    std::function<std::string()> m_chooseExportPath;
    // How the bell rings once (tests count).
    std::function<void()> m_ringBell;
    // How ports are probed for the list (tests list them all).
    PortProbe m_probe = ProbePort;

    const CProductionStation& Station() const { return m_line.Station(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StationSetup SetupFromControls() const;
    void FillSources(const std::string& pool);
    void FillPorts();
    void ShowShift();
    void ShowResult(const StationRadio& radio);
    void ExportShift();

    CProductionLine m_line;
    PortResolver m_resolver;
};

}  // namespace varnel
