// Long work on the GUI thread (a find or a copy over millions of lines) runs in slices:
// between slices the event loop runs, so lines keep arriving and the window repaints,
// and once the work lasts noticeably the wait cursor shows. Input events wait until the
// work ends.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>

namespace nimbrel::gui {

class SliceClock {
public:
    SliceClock() {
        total_.start();
        slice_.start();
    }
    ~SliceClock() {
        if (cursor_) QGuiApplication::restoreOverrideCursor();
    }
    SliceClock(const SliceClock&) = delete;
    SliceClock& operator=(const SliceClock&) = delete;

    // Call often; lets the event loop run when the slice is used up.
    void tick() {
        if (++calls_ % 256 != 0 || slice_.elapsed() < kSliceMs) return;
        if (!cursor_ && total_.elapsed() >= kCursorAfterMs) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            cursor_ = true;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        slice_.restart();
    }

private:
    static constexpr qint64 kSliceMs = 15;
    static constexpr qint64 kCursorAfterMs = 100;
    QElapsedTimer total_;
    QElapsedTimer slice_;
    unsigned calls_ = 0;
    bool cursor_ = false;
};

}  // namespace nimbrel::gui
