// The narrow margin left of the log text: shows which visible lines are marked, and a
// click there marks the line beside it or takes its mark away.
#pragma once

#include <QWidget>

namespace nimbrel::gui {

class VisibleRows;

class MarkMargin : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 12;
    // A child of the text widget, beside its rows.
    MarkMargin(QWidget* widget, VisibleRows& rows);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    VisibleRows& rows_;
};

}  // namespace nimbrel::gui
