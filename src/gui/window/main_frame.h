// The main window: menu bar, the toolbar "Standard", the status bar with its message pane
// and the CAP, NUM and SCRL panes, the visual style, the window title and the close
// request. It holds the window's command registry: the view, the frame and the application
// bind their commands' handlers to it.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include "gui/window/application_look.h"
#include "gui/window/command_registry.h"
#include "gui/window/toolbar_customize_dlg.h"

class QLabel;
class QMenu;
class QToolBar;

namespace nimbrel::gui {

class CNimbrelDoc;
class CNimbrelView;
class CaptureStatusPanes;
class CommandActions;
class KeyboardIndicators;
class SearchLineSet;
class SearchPane;
class ViewHighlighter;

inline constexpr char kCloseQuestion[] = "Save this document and Quit?";

class CMainFrame : public QMainWindow, public EditableToolbars {
    Q_OBJECT
public:
    explicit CMainFrame(CNimbrelDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CNimbrelView* view() const { return m_view; }
    CommandActions* actions() const { return m_actions; }
    QToolBar* toolBar() const { return m_wndToolBar; }
    QLabel* messagePane() const { return m_messagePane; }
    KeyboardIndicators* indicators() const { return m_indicators; }
    // The search pane under the view; its search() is what other parts ask about hits.
    SearchPane* searchPane() const { return m_searchPane; }
    ViewHighlighter* highlighter() const { return m_highlighter; }
    SearchLineSet* searchLines() const { return m_searchLines; }
    CaptureStatusPanes* statusPanes() const { return m_statusPanes; }

    // The handlers of every command of the window.
    CommandRegistry& commands() { return m_commands; }
    // Runs a command as if chosen from a menu, then applies the command states; false when
    // the command has no handler.
    bool routeCommand(MenuCommand command);

    // Application Look 210-218 (any other value: the 2007 look, scheme unchanged).
    void OnApplicationLook(int id);
    int currentLook() const { return m_nAppLook; }
    LookChoice currentLookChoice() const { return m_look; }

    // Log-off or shut-down: nothing is asked and nothing is saved; the window closes.
    void OnQueryEndSession();

    // Applies the states of every command now (menus also do it when they open).
    void refreshCommandStates();

    // Toolbars of the user's own (at most 10), made in the Customize dialog.
    QToolBar* addUserToolbar() override;
    bool isUserToolbar(const QToolBar* bar) const override;
    void removeUserToolbar(QToolBar* bar) override;
    // Every toolbar of the window.
    QList<QToolBar*> toolbars() const override;
    void OnToolbarCustomize();
    // View > Search Pane: shows the pane with the keyboard in its text box, or hides it
    // when the keyboard is already there.
    void OnViewSearchPane();
    // View > Highlight Rules.
    void OnViewHighlightRules();

    // The right-click menu of the bars: the toolbars, and Customize...
    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateTitle();
    void scheduleRefresh();
    void fillToolbarsMenu();
    void restoreLayout();
    void restoreToolbarContents();
    void saveLayout() const;
    void bindFrameCommands();

    CNimbrelDoc& m_doc;
    CNimbrelView* m_view;
    CommandRegistry m_commands;
    CommandActions* m_actions;
    QToolBar* m_wndToolBar;
    QLabel* m_messagePane;
    KeyboardIndicators* m_indicators;
    SearchPane* m_searchPane;
    SearchLineSet* m_searchLines;
    ViewHighlighter* m_highlighter;
    CaptureStatusPanes* m_statusPanes;
    QString m_caption;  // set by capture starts, replaces the document's title
    int m_nAppLook;
    LookChoice m_look;
    bool m_sessionEnding = false;
    QTimer m_refreshTimer;
};

}  // namespace nimbrel::gui
