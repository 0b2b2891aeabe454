#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <set>
#include <vector>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/VarnelApp.h"
#include "strings/StringTable.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

// The application with its dialog commands recorded instead of run.
class RecordingApp : public CVarnelApp {
public:
    std::vector<int> ran;

protected:
    void OnAppAbout() override { ran.push_back(ID_APP_ABOUT); }
    void OnRadioInfo() override { ran.push_back(ID_RADIO_INFO); }
    void OnProgramEsn() override { ran.push_back(ID_PROGRAM_ESN); }
    void OnConfiguration() override { ran.push_back(ID_CONFIGURATION); }
    void OnProgramRegionalId() override { ran.push_back(ID_PROGRAM_REGIONAL_ID); }
    void OnEsnRegistry() override { ran.push_back(ID_ESN_REGISTRY); }
};

class AppShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ClearSettings();
        ASSERT_TRUE(app.InitInstance());
        frame = app.GetMainWnd();
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override { app.ExitInstance(); }

    QAction* MenuAction(int command) const {
        for (QAction* top : frame->menuBar()->actions()) {
            for (QAction* item : top->menu()->actions()) {
                if (!item->isSeparator() && item->data().toInt() == command) {
                    return item;
                }
            }
        }
        return nullptr;
    }
    QAction* ToolbarAction(int command) const {
        for (QAction* item : frame->m_wndToolBar->actions()) {
            if (item->data().toInt() == command) {
                return item;
            }
        }
        return nullptr;
    }

    RecordingApp app;
    CMainFrame* frame = nullptr;
};

TEST_F(AppShellTest, MenusAfterStartUpAreTrimmed) {
    struct Menu {
        QString title;
        QStringList items;  // "-" is a separator
    };
    const std::vector<Menu> expected = {
        {"&File", {"E&xit"}},
        {"&Radio Access", {"Radio &Info...", "-", "Program &ESN...", "Production &Line..."}},
        {"&Options", {"&Configuration...", "&ESN Registry..."}},
        {"&View", {"&Toolbar", "&Status Bar"}},
        {"&Help", {"&About Varnel..."}},
    };
    const QList<QAction*> top = frame->menuBar()->actions();
    ASSERT_EQ(top.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(top[i]->text(), expected[i].title);
        QStringList items;
        for (QAction* item : top[i]->menu()->actions()) {
            items << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        EXPECT_EQ(items, expected[i].items) << expected[i].title.toStdString();
    }
}

TEST_F(AppShellTest, CaptionIsTheApplicationNameAlone) {
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Varnel"));
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(AppShellTest, CommandsWithoutHandlerAreDisabled) {
    const std::set<int> handled = {ID_APP_EXIT,        ID_RADIO_INFO,      ID_PROGRAM_ESN,
                                   ID_PRODUCTION_LINE, ID_CONFIGURATION,   ID_ESN_REGISTRY,
                                   ID_VIEW_TOOLBAR,    ID_VIEW_STATUS_BAR, ID_APP_ABOUT};
    std::set<int> seen;
    for (QAction* action : frame->CommandActions()) {
        const int id = action->data().toInt();
        seen.insert(id);
        EXPECT_EQ(action->isEnabled(), handled.count(id) == 1) << id;
    }
    // Every command of the menu, the toolbar and the accelerators is there, and nothing else.
    EXPECT_EQ(seen,
              (std::set<int>{ID_APP_EXIT, ID_RADIO_INFO, ID_PROGRAM_ESN, ID_PRODUCTION_LINE,
                             ID_CONFIGURATION, ID_ESN_REGISTRY, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR,
                             ID_APP_ABOUT, ID_CONTEXT_HELP, ID_HELP, ID_NEXT_PANE, ID_PREV_PANE}));
}

TEST_F(AppShellTest, AcceleratorsExistAndDoNothing) {
    const std::vector<std::pair<QKeySequence, int>> expected = {
        {QKeySequence(Qt::Key_F1), ID_HELP},
        {QKeySequence(Qt::SHIFT | Qt::Key_F1), ID_CONTEXT_HELP},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
    const std::vector<QAction*> accelerators = frame->Accelerators();
    ASSERT_EQ(accelerators.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(accelerators[i]->shortcut(), expected[i].first);
        EXPECT_EQ(accelerators[i]->data().toInt(), expected[i].second);
        EXPECT_FALSE(accelerators[i]->isEnabled());
        EXPECT_FALSE(frame->OnCommand(expected[i].second));
    }
    EXPECT_TRUE(app.ran.empty());
}

TEST_F(AppShellTest, MenuItemsAndTheAboutButtonReachTheApplication) {
    for (int command :
         {ID_APP_ABOUT, ID_RADIO_INFO, ID_PROGRAM_ESN, ID_CONFIGURATION, ID_ESN_REGISTRY}) {
        QAction* action = MenuAction(command);
        ASSERT_NE(action, nullptr) << command;
        action->trigger();
    }
    ToolbarAction(ID_APP_ABOUT)->trigger();
    EXPECT_EQ(app.ran, (std::vector<int>{ID_APP_ABOUT, ID_RADIO_INFO, ID_PROGRAM_ESN,
                                         ID_CONFIGURATION, ID_ESN_REGISTRY, ID_APP_ABOUT}));
}

TEST_F(AppShellTest, RegionalIdIsReachableOnlyByDispatch) {
    for (QAction* action : frame->findChildren<QAction*>()) {
        EXPECT_NE(action->data().toInt(), static_cast<int>(ID_PROGRAM_REGIONAL_ID))
            << action->text().toStdString();
    }
    EXPECT_TRUE(app.HasCommandHandler(ID_PROGRAM_REGIONAL_ID));
    EXPECT_TRUE(app.DispatchCommand(ID_PROGRAM_REGIONAL_ID));
    EXPECT_EQ(app.ran, std::vector<int>{ID_PROGRAM_REGIONAL_ID});
}

TEST_F(AppShellTest, ViewMenuTogglesBothBarsWithCheckMarks) {
    struct Bar {
        int command;
        QWidget* bar;
    };
    for (const Bar& item : {Bar{ID_VIEW_TOOLBAR, frame->m_wndToolBar},
                            Bar{ID_VIEW_STATUS_BAR, frame->m_wndStatusBar}}) {
        QAction* action = MenuAction(item.command);
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isChecked());
        action->trigger();
        EXPECT_FALSE(item.bar->isVisible());
        EXPECT_FALSE(action->isChecked());
        action->trigger();
        EXPECT_TRUE(item.bar->isVisible());
        EXPECT_TRUE(action->isChecked());
    }
}

TEST_F(AppShellTest, ToolbarHasTwoButtonsAndDocksEverywhere) {
    QToolBar* toolbar = frame->m_wndToolBar;
    const QList<QAction*> buttons = toolbar->actions();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->data().toInt(), static_cast<int>(ID_APP_ABOUT));
    EXPECT_TRUE(buttons[0]->isEnabled());
    EXPECT_EQ(buttons[0]->toolTip(), QStringLiteral("About"));
    EXPECT_EQ(buttons[1]->data().toInt(), static_cast<int>(ID_CONTEXT_HELP));
    EXPECT_FALSE(buttons[1]->isEnabled());
    EXPECT_EQ(buttons[1]->toolTip(), QStringLiteral("Help"));
    for (QAction* button : buttons) {
        EXPECT_FALSE(button->icon().isNull());
    }
    EXPECT_TRUE(toolbar->isMovable());
    EXPECT_TRUE(toolbar->isFloatable());
    EXPECT_EQ(toolbar->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_EQ(frame->toolBarArea(toolbar), Qt::TopToolBarArea);
}

TEST_F(AppShellTest, StatusBarShowsIdleTextPromptsAndKeyPanes) {
    EXPECT_EQ(frame->MessagePane()->text(), QStringLiteral("For Help, press F1"));
    const QStringList panes = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(frame->IndicatorPane(i), nullptr);
        EXPECT_EQ(frame->IndicatorPane(i)->property("indicatorText").toString(), panes[i]);
        EXPECT_GT(frame->IndicatorPane(i)->minimumWidth(), 0);
    }
    QAction* radioInfo = MenuAction(ID_RADIO_INFO);
    EXPECT_EQ(radioInfo->statusTip(),
              QStringLiteral("Retrieve Status Information from the connected Radio"));
    // Hovering shows the prompt in place of the idle text; leaving brings the idle text back.
    radioInfo->showStatusText(frame);
    EXPECT_EQ(frame->m_wndStatusBar->currentMessage(), radioInfo->statusTip());
    frame->m_wndStatusBar->clearMessage();
    EXPECT_TRUE(frame->MessagePane()->isVisible());
}

TEST_F(AppShellTest, ExitClosesTheWindowWithoutAskingToSave) {
    EXPECT_TRUE(app.DispatchCommand(ID_APP_EXIT));
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(AboutCommand, OpensTheAboutBoxThatEnterCloses) {
    test::ClearSettings();
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    QString caption, version;
    bool okHadFocus = false;
    test::WhenModal([&](QWidget* modal) {
        caption = modal->windowTitle();
        for (QLabel* label : modal->findChildren<QLabel*>()) {
            if (label->text().startsWith("Version")) {
                version = label->text();
            }
        }
        auto* dialog = qobject_cast<CAboutDlg*>(modal);
        okHadFocus = dialog && QApplication::focusWidget() == dialog->GetDlgItem(kIdOk);
        QTest::keyClick(modal, Qt::Key_Return);
    });
    EXPECT_TRUE(app.DispatchCommand(ID_APP_ABOUT));
    EXPECT_EQ(caption, QStringLiteral("About Varnel"));
    EXPECT_EQ(version, QStringLiteral("Version:  R01.03.00,  12.Apr.2010"));
    EXPECT_TRUE(okHadFocus);
    app.ExitInstance();
}

// A port chooser that picks COM3 and leaves with the result it is given.
class FakePortDlg : public CDialog {
public:
    explicit FakePortDlg(int result) : CDialog(AboutBoxTemplate()), m_result(result) {}
    bool OnInitDialog() override {
        seenIndex = m_nPortIndex;
        m_nPortIndex = 2;
        EndDialog(m_result);
        return true;
    }
    int m_nPortIndex = -1;
    int seenIndex = -100;

private:
    int m_result;
};

class ConfigurationApp : public CVarnelApp {
public:
    int dialogResult = kIdOk;
    int dialogSaw = -100;

protected:
    std::optional<int> ChoosePort(int current, PortMappingAccess) override {
        FakePortDlg dialog(dialogResult);
        const std::optional<int> chosen = PortChosenIn(dialog, current);
        dialogSaw = dialog.seenIndex;
        return chosen;
    }
};

TEST(ConfigurationCommand, TakesAndKeepsThePortOnlyOnOk) {
    for (int result : {int(kIdOk), int(kIdCancel)}) {
        test::ClearSettings();
        ConfigurationApp app;
        ASSERT_TRUE(app.InitInstance());
        app.m_nSerialPort = 1;
        app.dialogResult = result;
        app.DispatchCommand(ID_CONFIGURATION);
        EXPECT_EQ(app.dialogSaw, 1);
        EXPECT_EQ(app.m_nSerialPort, result == kIdOk ? 2 : 1);
        EXPECT_EQ(app.GetPortName(), result == kIdOk ? "COM3" : "COM2");
        // Kept before any exit, which may never come.
        const QVariant stored = QSettings("Tessaran", "Varnel").value("Options/SerialPort");
        EXPECT_EQ(stored.isValid() ? stored.toInt() : -100, result == kIdOk ? 2 : -100);
        app.ExitInstance();
    }
}

class BrokenFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;

protected:
    int OnCreate() override { return -1; }
};

class BrokenApp : public CVarnelApp {
protected:
    std::unique_ptr<CMainFrame> CreateMainFrame() override {
        return std::make_unique<BrokenFrame>(&m_commands);
    }
};

TEST(FailedStartUp, EndsWithoutWindowAndStillWritesTheSetting) {
    test::ClearSettings();
    BrokenApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.GetMainWnd(), nullptr);
    app.m_nSerialPort = 2;
    EXPECT_EQ(app.ExitInstance(1), 1);
    QSettings settings("Tessaran", "Varnel");
    EXPECT_EQ(settings.value("Options/SerialPort").toInt(), 2);
}

}  // namespace
}  // namespace varnel
