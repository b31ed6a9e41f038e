// View > Toolbars and Docking Windows > Customize...: adds commands to a toolbar and
// removes them, adds separators, and creates and deletes toolbars of the user's own.
// Changes show at once; the frame keeps them across restarts.
#pragma once

#include <QDialog>
#include <QList>

class QComboBox;
class QListWidget;
class QPushButton;
class QToolBar;

namespace nimbrel::gui {

class CommandActions;

// The toolbars the dialog edits: the window's own and those of the user's own.
class EditableToolbars {
public:
    // Every toolbar, in the order the dialog lists them.
    virtual QList<QToolBar*> toolbars() const = 0;
    // Only the user's own can be deleted.
    virtual bool isUserToolbar(const QToolBar* bar) const = 0;
    // Null when no more can be made.
    virtual QToolBar* addUserToolbar() = 0;
    virtual void removeUserToolbar(QToolBar* bar) = 0;

protected:
    ~EditableToolbars() = default;
};

class CToolbarCustomizeDlg : public QDialog {
    Q_OBJECT
public:
    // `actions` are the commands that can be put on a toolbar.
    CToolbarCustomizeDlg(EditableToolbars& toolbars, CommandActions& actions,
                         QWidget* parent = nullptr);

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

    EditableToolbars& toolbarSet_;
    CommandActions& actions_;
    QComboBox* toolbars_;
    QListWidget* commands_;
    QListWidget* buttons_;
    QPushButton* delete_;
};

}  // namespace nimbrel::gui
