// View > Toolbars and Docking Windows > Customize...: adds commands to a toolbar and
// removes them, adds separators, and creates and deletes toolbars of the user's own.
// Changes show at once; the frame keeps them across restarts.
#pragma once

#include <QDialog>

class QComboBox;
class QListWidget;
class QPushButton;
class QToolBar;

namespace nimbrel::gui {

class CMainFrame;

class CToolbarCustomizeDlg : public QDialog {
    Q_OBJECT
public:
    explicit CToolbarCustomizeDlg(CMainFrame& frame, QWidget* parent = nullptr);

    QComboBox* toolbarCombo() const { return toolbars_; }
    QListWidget* commandList() const { return commands_; }
    QListWidget* buttonList() const { return buttons_; }

public slots:
    // Adds the chosen command to the end of the toolbar (before the chosen button, when one is).
    void OnAddCommand();
    void OnAddSeparator();
    // Removes the chosen button.
    void OnRemove();
    void OnNewToolbar();
    // Deletes the chosen toolbar if it is one of the user's own.
    void OnDeleteToolbar();

private:
    QToolBar* currentToolbar() const;
    void fillToolbars(QToolBar* select = nullptr);
    void fillButtons();

    CMainFrame& frame_;
    QComboBox* toolbars_;
    QListWidget* commands_;
    QListWidget* buttons_;
    QPushButton* delete_;
};

}  // namespace nimbrel::gui
