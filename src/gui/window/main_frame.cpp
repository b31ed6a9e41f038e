#include "gui/window/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "gui/logview/overview_strip.h"
#include "gui/logview/search_line_set.h"
#include "gui/window/app_icon.h"
#include "gui/window/capture_status.h"
#include "gui/window/command_actions.h"
#include "gui/window/file_commands.h"
#include "gui/window/highlight_rules.h"
#include "gui/window/highlight_rules_dlg.h"
#include "gui/window/keyboard_indicators.h"
#include "gui/window/message_box.h"
#include "gui/window/nimbrel_doc.h"
#include "gui/window/nimbrel_view.h"
#include "gui/window/search_pane.h"
#include "gui/window/toolbar_customize_button.h"
#include "gui/window/toolbar_customize_dlg.h"
#include "gui/window/toolbar_icons.h"
#include "gui/window/view_focus.h"
#include "pipeline/settings_store.h"

namespace nimbrel::gui {
namespace {

// The window's layout is kept in the settings' "Workspace" group, as text, through the
// settings store (which serialises every access to the file).
QString workspaceText(const QString& key) {
    const std::optional<std::u16string> text = SettingsStore().storedValue(
        (QString::fromLatin1(kWorkspaceGroup) + u'/' + key).toStdU16String());
    return text ? QString::fromStdU16String(*text) : QString();
}

void setWorkspaceText(const QString& key, const QString& text) {
    SettingsStore().storeText((QString::fromLatin1(kWorkspaceGroup) + u'/' + key).toStdU16String(),
                              text.toStdU16String());
}

QStringList workspaceList(const QString& key) {
    const QString text = workspaceText(key);
    return text.isEmpty() ? QStringList() : text.split(u',');
}

}  // namespace

CMainFrame::CMainFrame(CNimbrelDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_nAppLook(SettingsStore().GetApplicationLook()) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(appIcon());
    OnApplicationLook(m_nAppLook);

    m_view = new CNimbrelView(doc, this);
    setCentralWidget(m_view);
    // The keyboard goes to the log, at start and after every dialog.
    (new ViewFocusKeeper(*m_view))->giveFocus();

    m_actions = new CommandActions(this);
    m_actions->buildMenuBar(menuBar());
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    m_view->setContextMenu(m_actions->buildContextMenu(m_view));
    m_view->files().attachRecentFileMenu(m_actions->action(MenuCommand::RecentFile));
    for (const CommandSpec* cmdRow : standardToolbarCommands()) {
        m_actions->action(cmdRow->id)->setIcon(commandIcon(cmdRow->id));
    }

    m_wndToolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_wndToolBar->setObjectName(QStringLiteral("toolbarStandard"));
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setIconSize(QSize(16, 16));
    m_actions->fillStandardToolbar(m_wndToolBar);
    addCustomizeButton(m_wndToolBar, m_actions->action(MenuCommand::ToolbarCustomize));
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    auto* toolbarsMenu = new QMenu(this);
    m_actions->action(MenuCommand::ViewToolbars)->setMenu(toolbarsMenu);
    connect(toolbarsMenu, &QMenu::aboutToShow, this, &CMainFrame::fillToolbarsMenu);

    m_messagePane = new QLabel(QStringLiteral("Ready"), this);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    statusBar()->addWidget(m_messagePane, 1);
    m_statusPanes = new CaptureStatusPanes(*m_view, *statusBar());
    m_indicators = new KeyboardIndicators(statusBar());

    m_searchPane = new SearchPane(*m_view, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_searchPane);
    m_searchPane->hide();  // until the user asks for it; the stored layout may show it
    addAction(m_searchPane->nextAction());
    addAction(m_searchPane->previousAction());
    m_highlighter = new ViewHighlighter(*m_view, m_searchPane->search(), this);
    m_highlighter->setRules(loadHighlightRules());
    connect(m_searchPane, &QDockWidget::visibilityChanged, this, &CMainFrame::scheduleRefresh);
    // The hits beside the scroll bar and for "only lines matching the search" (while a
    // search is set); the marks among the pane's hits.
    m_searchLines = new SearchLineSet(m_searchPane->search(), this);
    m_view->overviewStrip()->setSearchHits(m_searchLines);
    m_searchPane->setMarkedLines(&m_view->marks());
    auto giveSearch = [this] {
        const bool searching = m_searchPane->search().searching();
        m_view->setSearchFilter(searching ? m_searchLines : nullptr);
    };
    connect(&m_searchPane->search(), &SearchHits::hitsChanged, this, giveSearch);

    m_view->bindCommands(m_commands);
    bindFrameCommands();
    connect(m_actions, &CommandActions::triggered, this, &CMainFrame::routeCommand);
    connect(m_actions, &CommandActions::aboutToShowMenu, this, &CMainFrame::refreshCommandStates);
    connect(m_view, &CNimbrelView::commandStatesChanged, this, &CMainFrame::scheduleRefresh);
    connect(m_view, &CNimbrelView::captionRequested, this, [this](const QString& caption) {
        m_caption = caption;
        updateTitle();
    });
    connect(m_view, &CNimbrelView::statusMessageRequested, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&m_doc, &CNimbrelDoc::titleChanged, this, [this] {
        m_caption.clear();
        updateTitle();
    });
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(50);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CMainFrame::refreshCommandStates);

    resize(1000, 640);
    restoreLayout();
    updateTitle();
    refreshCommandStates();
}

CMainFrame::~CMainFrame() {
    // The view outlives the frame's own members while the window is torn down.
    m_view->disconnect(this);
    m_refreshTimer.stop();
    // The highlighter, the search's lines and the pane refer to the view: they go first.
    delete m_highlighter;
    m_view->setSearchFilter(nullptr);
    m_view->overviewStrip()->setSearchHits(nullptr);
    delete m_searchLines;
    delete m_searchPane;
}

bool CMainFrame::routeCommand(MenuCommand command) {
    const bool handled = m_commands.run(command);
    refreshCommandStates();
    return handled;
}

void CMainFrame::bindFrameCommands() {
    using C = MenuCommand;
    CommandRegistry& c = m_commands;
    c.bind(C::AppExit, [this] { close(); });
    c.bind(C::ViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    c.bind(C::NextPane, [this] { focusNextChild(); });
    c.bind(C::PrevPane, [this] { focusPreviousChild(); });
    c.bind(C::ToolbarCustomize, [this] { OnToolbarCustomize(); });
    c.bind(C::ViewSearchPane, [this] { OnViewSearchPane(); });
    c.bind(C::ViewHighlightRules, [this] { OnViewHighlightRules(); });
    for (const CommandSpec& cmdRow : commandTable()) {
        if (cmdRow.markSource != MarkSource::ApplicationLook) continue;
        const int look = commandNumber(cmdRow.id);
        c.bind(cmdRow.id, [this, look] { OnApplicationLook(look); });
    }
    // Commands whose item does its work itself or cannot be chosen: Esc is bound so that the
    // key does nothing, the toolbar and recent-file items open their submenus, and embedded
    // objects are not offered (their items stay greyed).
    for (const C command :
         {C::Escape, C::ViewToolbars, C::RecentFile, C::EditPasteSpecial, C::InsertNewObject,
          C::EditLinks, C::ObjectProperties, C::ObjectVerbFirst}) {
        c.bind(command, [] {});
    }
}

void CMainFrame::OnViewSearchPane() {
    if (!m_searchPane->isHidden() && m_searchPane->isAncestorOf(QApplication::focusWidget())) {
        m_searchPane->hide();
        m_view->setFocus();
        return;
    }
    m_searchPane->activate();
}

void CMainFrame::OnViewHighlightRules() {
    HighlightRulesDlg dlg(m_highlighter->rules(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    m_highlighter->setRules(dlg.rules());
    saveHighlightRules(m_highlighter->rules());
}

void CMainFrame::OnApplicationLook(int id) {
    m_nAppLook = id;
    m_look = lookFor(id, m_look.scheme);
    applyLook(m_look);
    SettingsStore().SetApplicationLook(id);
}

void CMainFrame::refreshCommandStates() {
    if (!m_actions) return;
    CommandActions::StateSource source;
    source.ruleHolds = [this](EnableRule rule) { return m_view->ruleHolds(rule); };
    source.marked = [this](const CommandSpec& cmdRow) {
        switch (cmdRow.markSource) {
        case MarkSource::ApplicationLook: return commandNumber(cmdRow.id) == m_nAppLook;
        case MarkSource::StatusBar: return !statusBar()->isHidden();
        case MarkSource::SearchPane: return !m_searchPane->isHidden();
        default: return m_view->marked(cmdRow);
        }
    };
    source.textFor = [this](MenuCommand command) { return m_view->commandText(command); };
    m_actions->refresh(source);
}

void CMainFrame::scheduleRefresh() {
    if (!m_refreshTimer.isActive()) m_refreshTimer.start();
}

void CMainFrame::updateTitle() {
    setWindowTitle(m_caption.isEmpty()
                       ? m_doc.title() + QStringLiteral(" - ") + QString::fromLatin1(kAppTitle)
                       : m_caption);
}

void CMainFrame::fillToolbarsMenu() {
    auto* menu = qobject_cast<QMenu*>(sender());
    if (!menu) return;
    menu->clear();
    for (QToolBar* bar : findChildren<QToolBar*>()) menu->addAction(bar->toggleViewAction());
    menu->addSeparator();
    menu->addAction(m_actions->action(MenuCommand::ToolbarCustomize));
}

QMenu* CMainFrame::createPopupMenu() {
    QMenu* menu = QMainWindow::createPopupMenu();
    if (!menu) menu = new QMenu(this);
    menu->addSeparator();
    menu->addAction(m_actions->action(MenuCommand::ToolbarCustomize));
    return menu;
}

namespace {
constexpr int kMaxUserToolbars = 10;
const QString kUserToolbarPrefix = QStringLiteral("userToolbar");
}  // namespace

QList<QToolBar*> CMainFrame::toolbars() const { return findChildren<QToolBar*>(); }

QToolBar* CMainFrame::addUserToolbar() {
    for (int n = 1; n <= kMaxUserToolbars; ++n) {
        const QString name = kUserToolbarPrefix + QString::number(n);
        if (findChild<QToolBar*>(name)) continue;
        auto* bar = new QToolBar(QStringLiteral("Toolbar%1").arg(n), this);
        bar->setObjectName(name);
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        bar->setIconSize(m_wndToolBar->iconSize());
        addCustomizeButton(bar, m_actions->action(MenuCommand::ToolbarCustomize));
        addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    }
    return nullptr;
}

bool CMainFrame::isUserToolbar(const QToolBar* bar) const {
    return bar && bar->objectName().startsWith(kUserToolbarPrefix);
}

void CMainFrame::removeUserToolbar(QToolBar* bar) {
    if (!isUserToolbar(bar)) return;
    removeToolBar(bar);
    delete bar;
}

void CMainFrame::OnToolbarCustomize() {
    CToolbarCustomizeDlg dlg(*this, *m_actions, this);
    dlg.exec();
    saveLayout();
}

void CMainFrame::OnQueryEndSession() {
    m_sessionEnding = true;
    m_doc.setModifiedFlag(false);
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A running replay or text-log load is cancelled first (asked, unless the session ends).
    if (!m_view->files().confirmClose(!m_sessionEnding)) {
        event->ignore();
        return;
    }
    // The radio handle is closed and the filter driver's logging stopped before the question.
    m_view->prepareWindowClose();
    if (!m_sessionEnding) {
        const QMessageBox::StandardButton answer =
            showMessageBox(this, QString::fromLatin1(kCloseQuestion),
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes && answer != QMessageBox::No) {
            event->ignore();
            return;
        }
        // A Save As that was cancelled or failed keeps the window open with its text; the
        // driver's logging stays off, as after Cancel.
        if (answer == QMessageBox::Yes && !m_view->OnFileSaveAs()) {
            event->ignore();
            return;
        }
    }
    m_doc.setModifiedFlag(false);
    saveLayout();
    event->accept();
}

// Toolbar contents are kept as command numbers (0 for a separator) per toolbar.
void CMainFrame::restoreToolbarContents() {
    for (const QString& name : workspaceList(QStringLiteral("UserToolbars"))) {
        if (!name.startsWith(kUserToolbarPrefix) || findChild<QToolBar*>(name)) continue;
        const int n = name.mid(kUserToolbarPrefix.size()).toInt();
        if (n < 1 || n > kMaxUserToolbars) continue;
        auto* bar = new QToolBar(QStringLiteral("Toolbar%1").arg(n), this);
        bar->setObjectName(name);
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        bar->setIconSize(m_wndToolBar->iconSize());
        addCustomizeButton(bar, m_actions->action(MenuCommand::ToolbarCustomize));
        addToolBar(Qt::TopToolBarArea, bar);
    }
    for (QToolBar* bar : findChildren<QToolBar*>()) {
        const QString key = QStringLiteral("Toolbar-") + bar->objectName();
        if (workspaceText(key).isEmpty()) continue;
        for (QAction* a : toolbarCommands(bar)) bar->removeAction(a);
        QAction* end = toolbarEnd(bar);
        for (const QString& item : workspaceList(key)) {
            if (item == u'-') continue;
            const int id = item.toInt();
            if (id == 0) {
                bar->insertSeparator(end);
            } else if (const CommandSpec* cmdRow = findCommandNumber(id); cmdRow && *cmdRow->menu) {
                bar->insertAction(end, m_actions->action(cmdRow->id));
            }
        }
    }
}

void CMainFrame::restoreLayout() {
    restoreToolbarContents();
    const QByteArray geometry =
        QByteArray::fromBase64(workspaceText(QStringLiteral("WindowGeometry")).toLatin1());
    const QByteArray state =
        QByteArray::fromBase64(workspaceText(QStringLiteral("WindowState")).toLatin1());
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    if (!state.isEmpty()) restoreState(state);
}

void CMainFrame::saveLayout() const {
    QStringList userBars;
    for (QToolBar* bar : findChildren<QToolBar*>()) {
        if (isUserToolbar(bar)) userBars << bar->objectName();
        QStringList items;
        for (QAction* a : toolbarCommands(bar))
            items << QString::number(a->isSeparator() ? 0 : a->data().toInt());
        // "-" marks an emptied toolbar, so that it stays empty at the next start.
        const QString text = items.isEmpty() ? QStringLiteral("-") : items.join(u',');
        setWorkspaceText(QStringLiteral("Toolbar-") + bar->objectName(), text);
    }
    setWorkspaceText(QStringLiteral("UserToolbars"), userBars.join(u','));
    setWorkspaceText(QStringLiteral("WindowGeometry"),
                     QString::fromLatin1(saveGeometry().toBase64()));
    setWorkspaceText(QStringLiteral("WindowState"), QString::fromLatin1(saveState().toBase64()));
}

}  // namespace nimbrel::gui
