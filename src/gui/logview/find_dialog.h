// The log view's find and replace dialog: the text to find, match whole word, match case
// and, for Find, the direction; for Replace, the replacement with Replace and Replace All.
// Modeless: it stays open while the user goes on finding.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace nimbrel::gui {

class LogTextView;

class FindDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Find, Replace };
    explicit FindDialog(LogTextView* view);

    void showFor(Mode mode, const QString& text, bool matchCase, bool wholeWord, bool forward);
    Mode mode() const { return mode_; }

    // The controls, for the view's tests.
    QLineEdit* findEdit() const { return findEdit_; }
    QLineEdit* replaceEdit() const { return replaceEdit_; }
    QCheckBox* matchCaseBox() const { return matchCase_; }
    QCheckBox* wholeWordBox() const { return wholeWord_; }
    QRadioButton* upButton() const { return up_; }
    QPushButton* findNextButton() const { return findNext_; }
    QPushButton* replaceButton() const { return replace_; }
    QPushButton* replaceAllButton() const { return replaceAll_; }
    QString status() const;

private:
    void onFindNext();
    void onFound(bool found);
    void onReplaced(int count);
    void onReplace();
    void onReplaceAll();
    void updateButtons();

    LogTextView* view_;
    QString searched_;  // the text of the last find or replace
    Mode mode_ = Mode::Find;
    QLineEdit* findEdit_;
    QLineEdit* replaceEdit_;
    QLabel* replaceLabel_;
    QCheckBox* matchCase_;
    QCheckBox* wholeWord_;
    QWidget* direction_;
    QRadioButton* up_;
    QRadioButton* down_;
    QPushButton* findNext_;
    QPushButton* replace_;
    QPushButton* replaceAll_;
    QLabel* status_;
};

}  // namespace nimbrel::gui
