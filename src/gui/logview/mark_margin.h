// The narrow margin left of the log text: shows which visible lines are marked, and a
// click there marks the line beside it or takes its mark away.
#pragma once

#include <QWidget>

namespace nimbrel::gui {

class LogTextView;

class MarkMargin : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 12;
    explicit MarkMargin(LogTextView& view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    LogTextView& view_;
};

}  // namespace nimbrel::gui
