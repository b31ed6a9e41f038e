// Edit > Go To Line: asks for a line number, 1 to the number of lines the view holds,
// starting at the caret's line.
#pragma once

#include <QDialog>

class QLabel;
class QSpinBox;

namespace nimbrel::gui {

class GoToLineDlg : public QDialog {
    Q_OBJECT
public:
    // Line numbers count from 1.
    GoToLineDlg(qint64 lineCount, qint64 current, QWidget* parent = nullptr);

    // The chosen line, counted from 1.
    qint64 lineNumber() const;
    QSpinBox* numberBox() const { return number_; }

private:
    QSpinBox* number_;
};

}  // namespace nimbrel::gui
