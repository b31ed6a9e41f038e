// Keeps the keyboard with the log view: whenever a dialog of the application closes and no
// other modal window is left, the main window is made active again and the view gets the
// focus back, so that Page Up, Ctrl+End or Ctrl+F act on the log without a click into it.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace nimbrel::gui {

class ViewFocusKeeper : public QObject {
    Q_OBJECT
public:
    // Watches the whole application for closing dialogs while it lives.
    explicit ViewFocusKeeper(QWidget& view);
    ~ViewFocusKeeper() override;

    // Gives the view the focus now (also at start, before its window is shown).
    void giveFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> view_;
};

}  // namespace nimbrel::gui
