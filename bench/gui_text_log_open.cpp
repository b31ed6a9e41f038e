// Opens a text log in the window as File > Open does and reports how long it took, the
// longest time the GUI thread did not answer (measured by a 1 ms timer) and the peak
// resident memory of the process beside the UTF-8 size of the text the view holds. Runs
// offscreen; settings go to a temporary folder.
//
//   QT_QPA_PLATFORM=offscreen build/bin/gui_text_log_open [LINES]
//       a generated log of LINES lines (default 1,000,000)
//   QT_QPA_PLATFORM=offscreen build/bin/gui_text_log_open --file PATH [--cancel-after MS]
//       the file PATH (for example a sparse file without line breaks: truncate -s 2G x.log);
//       with --cancel-after, the Cancel button is clicked after MS milliseconds and the
//       time until the load has ended is reported
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "files/text_log_file.h"
#include "gui/file_commands.h"
#include "gui/main_frame.h"
#include "gui/nimbrel_app.h"
#include "gui/nimbrel_view.h"
#include "gui/queued_log_view.h"

namespace {

// Peak resident memory of the process so far, in MiB (VmHWM).
double peakResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

std::string generatedLog(const QString& folder, long lines, std::size_t& viewLines) {
    static const char16_t* const kTags[] = {u"[G]", u"[R]", u"[B]", u"[W]", u"[Y]", u"[D]"};
    std::u16string text;
    text.reserve(static_cast<std::size_t>(lines) * 90);
    for (long i = 0; i < lines; ++i) {
        text += u"09:30:00.000  [FIL] ";
        text += kTags[i % 6];
        text += u" [00001] [001] [000] [00000] HCI event: code 0x0e, ";
        text += u"param len " + std::u16string(1, char16_t(u'0' + i % 10));
        text += (i % 7 == 0) ? u"\n\tStatus: 0x00 Success\n" : u"\n";
    }
    const std::string path = (folder + "/big.log").toStdString();
    if (const int err = nimbrel::writeTextLog(path, text); err != 0) {
        std::fprintf(stderr, "cannot write %s: %d\n", path.c_str(), err);
        return {};
    }
    viewLines = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    ::setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    ::setenv("NIMBREL_HOME", home.path().toLocal8Bit().constData(), 1);
    long lines = 1000000;
    std::string path;
    int cancelAfterMs = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (std::strcmp(argv[i], "--cancel-after") == 0 && i + 1 < argc) {
            cancelAfterMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("Usage: gui_text_log_open [LINES] | --file PATH [--cancel-after MS]");
            return 0;
        } else {
            lines = std::atol(argv[i]);
        }
    }
    std::size_t viewLines = 0;
    if (path.empty()) path = generatedLog(home.path(), lines, viewLines);
    if (path.empty()) return 1;
    const double peakBefore = peakResidentMiB();

    QApplication app(argc, argv);
    nimbrel::gui::CNimbrelApp theApp(app);
    if (!theApp.InitInstance({})) return 1;
    nimbrel::gui::CNimbrelView& view = *theApp.view();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 worstStall = 0;
    qint64 cancelledAt = -1;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstStall = std::max(worstStall, now - lastTick);
        lastTick = now;
    });
    QObject::connect(&view.files(), &nimbrel::gui::FileCommands::workFinished, &app, [&] {
        const qint64 ended = clock.nsecsElapsed();
        // Shows what is still queued (without plainText(), which would copy the whole text).
        if (auto* queued = dynamic_cast<nimbrel::gui::QueuedLogView*>(&view.core().view))
            queued->drainNow();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        std::printf("text log: %s, %.1f MB", path.c_str(),
                    static_cast<double>(QFileInfo(QString::fromStdString(path)).size()) / 1e6);
        if (viewLines > 0) std::printf(", %zu lines", viewLines);
        std::printf(
            "\nopen: %.2f s, view lines %lld, view text %.1f MiB (UTF-8), worst GUI stall "
            "%.1f ms\n",
            seconds, static_cast<long long>(view.lineCount()),
            static_cast<double>(view.store().textBytes()) / 1048576.0,
            static_cast<double>(worstStall) / 1e6);
        if (cancelledAt >= 0) {
            std::printf("cancel: the load ended %.1f ms after the click\n",
                        static_cast<double>(ended - cancelledAt) / 1e6);
        }
        std::printf("line store: %.0f MiB\n",
                    static_cast<double>(view.store().memoryBytes()) / 1048576.0);
        const double peak = peakResidentMiB();
        std::printf(
            "peak resident memory: %.0f MiB (%.0f MiB before the window); bound 1.5 x "
            "text + 100 MiB = %.0f MiB\n",
            peak, peakBefore,
            1.5 * static_cast<double>(view.store().textBytes()) / 1048576.0 + 100 + peakBefore);
        std::fflush(stdout);
        theApp.mainFrame()->OnQueryEndSession();  // closes without the save question
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        tick.start();
        if (!view.files().openTextLogFile(QString::fromStdString(path))) app.exit(1);
        if (cancelAfterMs >= 0) {
            QTimer::singleShot(cancelAfterMs, [&] {
                cancelledAt = clock.nsecsElapsed();
                if (QPushButton* cancel = view.files().cancelButton()) cancel->click();
            });
        }
    });
    return app.exec();
}
