// The strip beside the vertical scroll bar: the whole text at a glance, one pixel row for
// a stretch of lines, showing where the red lines, the search hits and the marks lie and
// which part is on screen. A click or a drag there brings that part of the text into view.
#pragma once

#include <QPointer>
#include <QWidget>

namespace nimbrel::gui {

class LineSet;
class VisibleRows;

class OverviewStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 14;
    // A child of the text widget, beside its rows.
    OverviewStrip(QWidget* widget, VisibleRows& rows);

    // The sets drawn; any may be null. Each one's change repaints the strip (at most a
    // few times a second).
    void setRedLines(LineSet* set);
    void setMarks(LineSet* set);
    void setSearchHits(LineSet* set);
    // The first line of the stretch that pixel row `y` stands for.
    qint64 lineAtY(int y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void watch(LineSet* set);
    void jumpTo(int y);

    VisibleRows& rows_;
    QPointer<LineSet> red_;
    QPointer<LineSet> marks_;
    QPointer<LineSet> hits_;
    bool repaintQueued_ = false;
};

}  // namespace nimbrel::gui
