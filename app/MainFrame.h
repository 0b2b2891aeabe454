#pragma once

#include <QMainWindow>

#include <array>
#include <vector>

#include "templates/CommandMap.h"
#include "templates/WindowShell.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;

namespace varnel {

class CVarnelView;

// The main window: menu 128, accelerators, toolbar 128 and the status bar over a blank view.
// Every menu item, toolbar button and accelerator is a QAction whose data() is its command id.
// A command goes first to the frame's own handlers (the View toggles), then to the application's.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(const CCommandMap* appCommands, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds menu, accelerators, bars and view; false when OnCreate fails.
    bool LoadFrame();

    // Runs the handler of a command; false when nobody handles it.
    bool OnCommand(int commandId);
    bool HasHandler(int commandId) const;
    // Enables the actions whose command has a handler and sets the View check marks.
    void UpdateCommandUI();

    // Every action that carries a command, wherever it sits.
    std::vector<QAction*> CommandActions() const;
    std::vector<QAction*> Accelerators() const { return m_accelerators; }
    QLabel* MessagePane() const { return m_messagePane; }
    QLabel* IndicatorPane(int index) const;
    void UpdateIndicators();

    QStatusBar* m_wndStatusBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;

protected:
    // Creates the toolbar and the status bar; -1 when any of them cannot be made.
    virtual int OnCreate();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* CreateCommandAction(int commandId, const QString& text);
    void CreateMenu();
    void CreateAccelerators();

    CCommandMap m_commands;
    const CCommandMap* m_pAppCommands;
    CVarnelView* m_pView = nullptr;
    QLabel* m_messagePane = nullptr;
    std::array<QLabel*, kIndicatorCount> m_indicators{};
    std::vector<QAction*> m_accelerators;
};

// Menu editing as start-up needs it. Both return false when there is nothing to remove.
bool RemoveMenuCommand(QMenuBar* menuBar, int commandId);
bool RemoveMenuItemAt(QMenu* menu, int position);
// The drop-down menu that holds the item of commandId, or nullptr.
QMenu* MenuOfCommand(QMenuBar* menuBar, int commandId);

}  // namespace varnel
