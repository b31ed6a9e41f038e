// The status bar's account of what the window is doing: the state pane (Idle, the route
// that captures, Paused, a replay's progress), the lines the view holds, records per
// second, noise bytes skipped and the size of the raw data file being written. The panes
// read atomics and the store's counts on a timer: nothing happens per record.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>

#include "capture/capture_state.h"
#include "pipeline/capture_route.h"

class QLabel;
class QStatusBar;

namespace nimbrel::gui {

class CNimbrelView;

// What the state pane is made from.
struct CaptureStateFacts {
    CaptureState::Phase phase = CaptureState::Phase::Idle;
    CaptureRoute route = CaptureRoute::None;  // the route last started
    bool paused = false;
    QString comPort;              // the device the COM route reads, as opened
    bool replaying = false;       // the file work holding the view is a replay
    bool openingTextLog = false;  // ... or a text log being read
    int percent = 0;              // of that work
};

// "Idle", "COM /dev/ttyUSB0", "Filter driver", "UART driver", "Replaying 42 %", ...; a
// pause is added to the route ("COM /dev/ttyUSB0 - Paused") or stands alone ("Paused").
QString captureStateText(const CaptureStateFacts& facts);

// A serial port name as the user sees the device: a name without '/' lies in /dev.
QString serialDevicePath(const QString& port);

// "1.5 MB" and the like, for the raw data file.
QString byteSizeText(std::uint64_t bytes);

class CaptureStatusPanes : public QObject {
    Q_OBJECT
public:
    // Adds the panes to the right of the status bar's message pane.
    CaptureStatusPanes(CNimbrelView& view, QStatusBar& bar);

    QLabel* statePane() const { return state_; }
    QLabel* linesPane() const { return lines_; }
    QLabel* ratePane() const { return rate_; }
    QLabel* noisePane() const { return noise_; }
    QLabel* rawDataPane() const { return rawData_; }
    QLabel* deltaPane() const { return delta_; }

public slots:
    // Reads the counters and updates the texts (the timer calls it twice a second).
    void refresh();
    // The time between the selected lines, or the caret's line and the mark above it.
    void refreshDelta();
    // The lines pane: "N lines", or "N of M lines shown" while a filter is on.
    void refreshLines();

private:
    CNimbrelView& view_;
    QLabel* state_;
    QLabel* lines_;
    QLabel* rate_;
    QLabel* noise_;
    QLabel* rawData_;
    QLabel* delta_;
    QTimer timer_;
    std::uint64_t lastRecords_ = 0;
    std::chrono::steady_clock::time_point lastTime_;
};

}  // namespace nimbrel::gui
