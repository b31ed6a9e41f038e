#include "gui/window/capture_status.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>

#include "gui/logview/shown_lines.h"
#include "gui/window/file_commands.h"
#include "gui/window/nimbrel_view.h"

namespace nimbrel::gui {
namespace {

using Phase = CaptureState::Phase;

QString routeText(CaptureRoute route, const QString& comPort) {
    switch (route) {
    case CaptureRoute::Com: return QStringLiteral("COM ") + comPort;
    case CaptureRoute::Filter: return QStringLiteral("Filter driver");
    case CaptureRoute::Uart: return QStringLiteral("UART driver");
    case CaptureRoute::None: break;
    }
    return QStringLiteral("Idle");
}

QString grouped(std::uint64_t n) { return QLocale(QLocale::English).toString(qulonglong(n)); }

}  // namespace

QString captureStateText(const CaptureStateFacts& f) {
    QString text;
    switch (f.phase) {
    case Phase::Idle: text = QStringLiteral("Idle"); break;
    case Phase::ComActive: text = routeText(CaptureRoute::Com, f.comPort); break;
    case Phase::DriverRunning: text = routeText(f.route, f.comPort); break;
    // The route stays armed while the radio is away: it starts again when it returns.
    case Phase::DriverArmed:
        text = routeText(f.route, f.comPort) + QStringLiteral(", no radio");
        break;
    case Phase::Draining: text = QStringLiteral("Stopping"); break;
    case Phase::Replaying:
        if (f.openingTextLog) {
            text = QStringLiteral("Opening %1 %").arg(f.percent);
        } else {
            text = QStringLiteral("Replaying %1 %").arg(f.percent);
        }
        break;
    }
    if (!f.paused) return text;
    return f.phase == Phase::Idle ? QStringLiteral("Paused") : text + QStringLiteral(" - Paused");
}

QString serialDevicePath(const QString& port) {
    return port.contains(u'/') ? port : QStringLiteral("/dev/") + port;
}

QString byteSizeText(std::uint64_t bytes) {
    if (bytes < 1024) return QStringLiteral("%1 bytes").arg(bytes);
    const double kb = static_cast<double>(bytes) / 1024.0;
    if (kb < 1024) return QStringLiteral("%1 KB").arg(kb, 0, 'f', 1);
    const double mb = kb / 1024.0;
    if (mb < 1024) return QStringLiteral("%1 MB").arg(mb, 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(mb / 1024.0, 0, 'f', 2);
}

CaptureStatusPanes::CaptureStatusPanes(CNimbrelView& view, QStatusBar& bar)
    : QObject(&bar), view_(view), lastTime_(std::chrono::steady_clock::now()) {
    auto pane = [&bar](const char* name, const char* tip) {
        auto* label = new QLabel(&bar);
        label->setObjectName(QString::fromLatin1(name));
        label->setToolTip(QString::fromLatin1(tip));
        bar.addPermanentWidget(label);
        return label;
    };
    delta_ = pane("deltaPane", "Time between the selected lines, or the mark above and the caret");
    state_ = pane("statePane", "What the window is doing");
    lines_ = pane("linesPane", "Lines the view holds");
    rate_ = pane("ratePane", "Records framed per second");
    noise_ = pane("noisePane", "Bytes skipped between records since the capture started");
    rawData_ = pane("rawDataPane", "Size of the raw data file being written");
    connect(&view_, &LogTextView::selectionChanged, this, &CaptureStatusPanes::refreshDelta);
    connect(&view_.marks(), &LineSet::changed, this, &CaptureStatusPanes::refreshDelta);
    connect(&view_, &LogTextView::textChanged, this, &CaptureStatusPanes::refreshDelta);
    refreshDelta();
    connect(&view_, &LogTextView::shownLinesChanged, this, &CaptureStatusPanes::refreshLines);
    // The count follows the text at once, not only at the next tick (textChanged comes once
    // per batch of lines, not per line).
    connect(&view_, &LogTextView::textChanged, this, &CaptureStatusPanes::refreshLines);
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &CaptureStatusPanes::refresh);
    timer_.start();
    lastRecords_ = view_.core().hub.counters.recordsFramed(std::memory_order_relaxed);
    refresh();
}

void CaptureStatusPanes::refreshDelta() {
    const QString text = view_.timeBetweenLinesText();
    delta_->setText(text);
    delta_->setVisible(!text.isEmpty());
}

void CaptureStatusPanes::refreshLines() {
    const auto total = static_cast<std::uint64_t>(view_.lineCount());
    if (!view_.filterActive()) {
        lines_->setText(QStringLiteral("%1 lines").arg(grouped(total)));
        return;
    }
    const ShownLines& shown = view_.shownLines();
    QString text =
        QStringLiteral("%1 of %2 lines shown")
            .arg(grouped(static_cast<std::uint64_t>(shown.shownLines())), grouped(total));
    if (!shown.complete()) text += QStringLiteral(" (filtering %1 %)").arg(shown.percent());
    lines_->setText(text);
}

void CaptureStatusPanes::refresh() {
    const CaptureSession& core = view_.core();
    const FileCommands& files = view_.files();
    CaptureStateFacts facts;
    facts.phase = core.capture.phase();
    facts.route = core.capture.m_threadId();
    facts.paused = core.formatter.paused();
    facts.comPort = serialDevicePath(view_.comPortShown());
    facts.replaying = files.busyWith() == FileCommands::Work::Replay;
    facts.openingTextLog = files.busyWith() == FileCommands::Work::TextLog;
    facts.percent = files.percent();
    state_->setText(captureStateText(facts));

    refreshLines();

    // Records per second over the last interval; a new capture starts its count afresh.
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t records = core.hub.counters.recordsFramed(std::memory_order_relaxed);
    const double seconds = std::chrono::duration<double>(now - lastTime_).count();
    const std::uint64_t framed = records >= lastRecords_ ? records - lastRecords_ : records;
    const bool capturing = facts.phase == CaptureState::Phase::ComActive ||
                           facts.phase == CaptureState::Phase::DriverRunning ||
                           facts.phase == CaptureState::Phase::Draining;
    const auto rate = seconds > 0 && capturing
                          ? static_cast<std::uint64_t>(static_cast<double>(framed) / seconds + 0.5)
                          : 0;
    rate_->setText(QStringLiteral("%1 records/s").arg(grouped(rate)));
    lastRecords_ = records;
    lastTime_ = now;

    noise_->setText(QStringLiteral("%1 noise bytes")
                        .arg(grouped(core.hub.counters.noiseBytes(std::memory_order_relaxed))));

    // The raw data file shows while a capture writes one.
    const bool writing = capturing && core.hub.autoSaveRawData();
    const QString name = writing ? QString::fromStdString(core.hub.rawDataFile.name()) : QString();
    const QFileInfo info(name);
    rawData_->setVisible(writing && !name.isEmpty());
    if (writing && !name.isEmpty()) {
        rawData_->setText(
            QStringLiteral("Raw data %1")
                .arg(byteSizeText(info.exists() ? static_cast<std::uint64_t>(info.size()) : 0)));
        rawData_->setToolTip(name);
    }
}

}  // namespace nimbrel::gui
