#pragma once

#include <functional>
#include <string>
#include <vector>

#include "procedures/PortList.h"
#include "procedures/Session.h"
#include "settings/SettingsStore.h"
#include "usecases/ProductionStation.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// The production station's window: radio after radio, one key each. Enter, Space (a foot switch
// that sends either; not in a text field) or "Program" runs the next radio; its result shows
// large on green or red, rings the bell (once for a pass, three times otherwise) and becomes the
// window's title, which is its accessible name, so that a screen reader says it. While a radio is
// in progress the exchange's progress window takes every key, and Esc cancels it. What the
// station does, and every rule the window follows, is the station's own (usecases/).
class CProductionLineDlg : public CDialog, public ProductionLineIds {
public:
    // Every radio runs on session, which carries the registry; the set-up is remembered in
    // settings; ports are listed as Configuration lists them.
    CProductionLineDlg(Session session, SettingsStore& settings, PortResolver resolver,
                       int portIndex, HWND owner);
    ~CProductionLineDlg() override;

    // The serial port index chosen in the window, for the application to keep.
    int m_nPortIndex;

    // How the export asks for its file (the system's Save As box; tests answer without it):
    // the path in UTF-8, empty to cancel.
    std::function<std::string(HWND owner)> m_chooseExportPath;
    // How the bell rings once.
    std::function<void()> m_ringBell;
    // How ports are probed for the list.
    PortProbe m_probe = ProbePort;

    const CProductionStation& Station() const { return m_line.Station(); }

protected:
    bool OnInitDialog() override;
    // Enter and "Program": the next radio. The window stays open.
    void OnOK() override;
    bool OnCommand(int id, int code) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
    StationKeyAction KeyAction(HWND control, WPARAM key, LPARAM flags) const;

    StationSetup SetupFromControls() const;
    void FillSources(const std::string& pool);
    void FillPorts();
    void ShowShift();
    void ShowResult(const StationRadio& radio);
    void RingBell();
    void ExportShift();

    CProductionLine m_line;
    PortResolver m_resolver;
    bool m_running = false;  // a radio is in progress: a further key runs nothing
    StationBanner m_banner;
    HBRUSH m_resultBrush = nullptr;  // the result's colour; none before the first radio
    HFONT m_resultFont = nullptr;
    int m_bellsLeft = 0;
};

}  // namespace varnel::win32
