#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "app/KeyLockState.h"
#include "app/VarnelView.h"
#include "strings/StringTable.h"
#include "ui/Resources.h"

namespace varnel {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QKeyCombination KeyOf(const AcceleratorDefinition& key) {
    const Qt::Key name = key.key == ShellKey::F1 ? Qt::Key_F1 : Qt::Key_F6;
    return key.shift ? QKeyCombination(Qt::ShiftModifier, name) : QKeyCombination(name);
}

}  // namespace

CMainFrame::CMainFrame(const CCommandMap* appCommands, QWidget* parent)
    : QMainWindow(parent), m_pAppCommands(appCommands) {
    // The title is the first field of the document string and never shows a document name.
    const std::string_view docString = LoadString(IDR_MAINFRAME);
    setWindowTitle(Text(docString.substr(0, docString.find('\n'))));
    setWindowIcon(AppIcon());
    // No right-click menu of bars: the View menu is the one place that shows and hides them.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);

    m_commands.Add(ID_VIEW_TOOLBAR, [this] {
        m_wndToolBar->setVisible(m_wndToolBar->isHidden());
        UpdateCommandUI();
    });
    m_commands.Add(ID_VIEW_STATUS_BAR, [this] {
        m_wndStatusBar->setVisible(m_wndStatusBar->isHidden());
        UpdateCommandUI();
    });
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::LoadFrame() {
    CreateMenu();
    CreateAccelerators();
    m_pView = new CVarnelView(this);
    setCentralWidget(m_pView);
    if (OnCreate() == -1) {
        return false;
    }
    qApp->installEventFilter(this);
    UpdateCommandUI();
    // A new main window takes a good part of the screen rather than the bare size of its bars.
    if (const QScreen* screen = this->screen()) {
        resize(screen->availableGeometry().size() * 3 / 5);
    }
    return true;
}

QAction* CMainFrame::CreateCommandAction(int commandId, const QString& text) {
    auto* action = new QAction(text, this);
    action->setData(commandId);
    const std::string_view prompt = LoadString(commandId);
    action->setStatusTip(Text(PromptPart(prompt)));
    action->setToolTip(Text(TooltipPart(prompt)));
    connect(action, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    return action;
}

void CMainFrame::CreateMenu() {
    QMenuBar* bar = menuBar();
    for (const MenuDefinition& definition : Menu128()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(definition.title));
        for (const MenuItemDefinition& item : definition.items) {
            if (item.command == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = CreateCommandAction(item.command, QString::fromUtf8(item.text));
            if (IsToggleCommand(item.command)) {
                action->setCheckable(true);
            }
            menu->addAction(action);
        }
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
}

void CMainFrame::CreateAccelerators() {
    for (const AcceleratorDefinition& accelerator : varnel::Accelerators()) {
        QAction* action = CreateCommandAction(accelerator.command, QString());
        action->setShortcut(QKeySequence(KeyOf(accelerator)));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        m_accelerators.push_back(action);
    }
}

int CMainFrame::OnCreate() {
    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("toolbar"));
    m_wndToolBar->setWindowTitle(QStringLiteral("Toolbar"));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_wndToolBar->setIconSize(QSize(16, 15));
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const int command : ToolbarCommands()) {
        const QIcon icon = ToolbarIcon(command);
        if (icon.isNull()) {
            return -1;
        }
        QAction* action = CreateCommandAction(command, Text(TooltipPart(LoadString(command))));
        action->setIcon(icon);
        m_wndToolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    connect(m_wndToolBar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUI);

    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setObjectName(QStringLiteral("statusbar"));
    // The idle text is an ordinary widget: a fly-by prompt covers it and, when cleared, uncovers
    // it.
    m_messagePane = new QLabel(Text(LoadString(AFX_IDS_IDLEMESSAGE)), m_wndStatusBar);
    m_wndStatusBar->addWidget(m_messagePane, 1);
    for (std::size_t i = 0; i < m_indicators.size(); ++i) {
        const QString text = Text(LoadString(Indicators()[i].textId));
        auto* pane = new QLabel(text, m_wndStatusBar);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->sizeHint().width() +
                              pane->fontMetrics().averageCharWidth() * 2);
        pane->setProperty("indicatorText", text);
        m_wndStatusBar->addPermanentWidget(pane);
        m_indicators[i] = pane;
    }
    setStatusBar(m_wndStatusBar);
    UpdateIndicators();
    return 0;
}

bool CMainFrame::OnCommand(int commandId) {
    if (m_commands.Dispatch(commandId)) {
        return true;
    }
    return m_pAppCommands && m_pAppCommands->Dispatch(commandId);
}

bool CMainFrame::HasHandler(int commandId) const {
    return m_commands.Has(commandId) || (m_pAppCommands && m_pAppCommands->Has(commandId));
}

std::vector<QAction*> CMainFrame::CommandActions() const {
    std::vector<QAction*> actions;
    for (QAction* action : findChildren<QAction*>()) {
        bool ok = false;
        action->data().toInt(&ok);
        if (ok) {
            actions.push_back(action);
        }
    }
    return actions;
}

void CMainFrame::UpdateCommandUI() {
    for (QAction* action : CommandActions()) {
        const int command = action->data().toInt();
        action->setEnabled(HasHandler(command));
        if (command == ID_VIEW_TOOLBAR && m_wndToolBar) {
            action->setChecked(!m_wndToolBar->isHidden());
        } else if (command == ID_VIEW_STATUS_BAR && m_wndStatusBar) {
            action->setChecked(!m_wndStatusBar->isHidden());
        }
    }
}

QLabel* CMainFrame::IndicatorPane(int index) const {
    return index >= 0 && index < static_cast<int>(m_indicators.size()) ? m_indicators[index]
                                                                       : nullptr;
}

void CMainFrame::UpdateIndicators() {
    for (std::size_t i = 0; i < m_indicators.size(); ++i) {
        if (!m_indicators[i]) {
            continue;
        }
        // Lit shows the name; off, or not known, leaves the pane empty.
        const bool on = IsLockOn(Indicators()[i].key).value_or(false);
        m_indicators[i]->setText(on ? m_indicators[i]->property("indicatorText").toString()
                                    : QString());
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyRelease:
        case QEvent::ApplicationActivate:
        case QEvent::WindowActivate:
            UpdateIndicators();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {

QAction* FindMenuCommand(QMenuBar* menuBar, int commandId, QMenu** menuOut) {
    if (!menuBar) {
        return nullptr;
    }
    for (QAction* top : menuBar->actions()) {
        QMenu* menu = top->menu();
        if (!menu) {
            continue;
        }
        for (QAction* item : menu->actions()) {
            bool ok = false;
            if (!item->isSeparator() && item->data().toInt(&ok) == commandId && ok) {
                *menuOut = menu;
                return item;
            }
        }
    }
    return nullptr;
}

}  // namespace

QMenu* MenuOfCommand(QMenuBar* menuBar, int commandId) {
    QMenu* menu = nullptr;
    return FindMenuCommand(menuBar, commandId, &menu) ? menu : nullptr;
}

bool RemoveMenuCommand(QMenuBar* menuBar, int commandId) {
    QMenu* menu = nullptr;
    QAction* item = FindMenuCommand(menuBar, commandId, &menu);
    if (!item) {
        return false;
    }
    menu->removeAction(item);
    if (item->associatedObjects().isEmpty()) {
        delete item;
    }
    return true;
}

bool RemoveMenuItemAt(QMenu* menu, int position) {
    if (!menu || position < 0 || position >= menu->actions().size()) {
        return false;
    }
    QAction* item = menu->actions().at(position);
    menu->removeAction(item);
    if (item->associatedObjects().isEmpty()) {
        delete item;
    }
    return true;
}

}  // namespace varnel
