// Opens a text log in the window as File > Open does and reports the lines, the time until
// the first screen shows, the time until the whole file is in the view, the longest time
// the GUI thread did not answer (a 1 ms timer) and the process's peak resident memory.
// Runs offscreen; settings go to a temporary folder.
//
//   QT_QPA_PLATFORM=offscreen build/bin/gui_text_log_open FILE [--cancel-after MS]
//       with --cancel-after, Cancel is clicked MS milliseconds after the open, and the time
//       from the click until the open has ended is reported
//   build/bin/gui_text_log_open --make LINES FILE   writes a formatter-like UTF-16LE log
//
// Last line: "open: L lines, first screen F s, fully indexed T s, worst GUI stall S ms,
// peak resident R MiB" (after "cancel: the open ended C ms after the click" with
// --cancel-after).
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
#include <string>

#include "bench_process.h"
#include "files/text_log_file.h"
#include "gui/logview/queued_log_view.h"
#include "gui/window/file_commands.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_app.h"
#include "gui/window/nimbrel_view.h"

namespace {

// Lines like the formatter's, about 107 bytes a line on average with a decoded
// continuation line after every third record, written in pieces so that memory stays
// small.
int makeLog(long lines, const std::string& path) {
    static const char16_t* const kTags[] = {u"[G]", u"[R]", u"[B]", u"[W]", u"[Y]", u"[D]"};
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 1;
    std::u16string text;
    std::string bytes;
    long written = 0;
    auto ascii = [&](const char* p) {
        for (; *p; ++p) text.push_back(static_cast<char16_t>(*p));
    };
    for (long i = 0; written < lines; ++i) {
        char head[96];
        std::snprintf(head, sizeof head, "09:%02ld:%02ld.%03ld  [FIL] ", i / 60000 % 60,
                      i / 1000 % 60, i % 1000);
        ascii(head);
        text += kTags[i % 6];
        std::snprintf(head, sizeof head, " [%05ld] [%03ld] HCI_Event 0x0e len %ld\r\n", i % 100000,
                      i % 256, i % 10);
        ascii(head);
        ++written;
        if (i % 3 == 0 && written < lines) {
            ascii("\tStatus: 0x00 Success, handle 0x0001\r\n");
            ++written;
        }
        if (text.size() > (32u << 20) || written >= lines) {
            bytes.resize(text.size() * 2);
            for (std::size_t k = 0; k < text.size(); ++k) {
                bytes[2 * k] = static_cast<char>(text[k] & 0xFF);
                bytes[2 * k + 1] = static_cast<char>(text[k] >> 8);
            }
            if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return 1;
            text.clear();
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
        return makeLog(std::atol(argv[2]), argv[3]);
    }
    int cancelAfterMs = -1;
    if (argc == 4 && std::strcmp(argv[2], "--cancel-after") == 0) {
        cancelAfterMs = std::atoi(argv[3]);
    } else if (argc != 2) {
        std::fprintf(stderr,
                     "usage: gui_text_log_open FILE [--cancel-after MS] | --make LINES FILE\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    ::setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    ::setenv("NIMBREL_HOME", home.path().toLocal8Bit().constData(), 1);

    QApplication app(argc, argv);
    nimbrel::gui::CNimbrelApp theApp(app);
    if (!theApp.InitInstance({})) return 1;
    theApp.mainFrame()->resize(1100, 700);
    nimbrel::gui::CNimbrelView& view = *theApp.view();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 worstStall = 0;
    qint64 firstScreen = -1;
    qint64 cancelledAt = -1;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstStall = std::max(worstStall, now - lastTick);
        lastTick = now;
        // The first screen: as many lines as the view shows, from the file's first line.
        if (firstScreen < 0 && view.lineCount() > view.visibleLineCount()) firstScreen = now;
    });
    QObject::connect(&view.files(), &nimbrel::gui::FileCommands::workFinished, &app, [&] {
        // Whatever the queue still holds goes into the view first.
        if (auto* queue = dynamic_cast<nimbrel::gui::QueuedLogView*>(&view.core().view)) {
            while (!queue->isDrained()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        const qint64 done = clock.nsecsElapsed();
        if (cancelledAt >= 0) {
            std::printf("cancel: the open ended %.1f ms after the click\n",
                        static_cast<double>(done - cancelledAt) / 1e6);
        }
        if (firstScreen < 0) firstScreen = done;
        std::printf("text log: %.1f MB\n", static_cast<double>(QFileInfo(path).size()) / 1e6);
        std::printf(
            "open: %lld lines, first screen %.3f s, fully indexed %.2f s, worst GUI stall %.1f "
            "ms, peak resident %.0f MiB\n",
            static_cast<long long>(view.lineCount()), static_cast<double>(firstScreen) / 1e9,
            static_cast<double>(done) / 1e9, static_cast<double>(worstStall) / 1e6,
            nimbrel::bench::mib(nimbrel::bench::peakResidentBytes()));
        std::fflush(stdout);
        theApp.mainFrame()->OnQueryEndSession();  // closes without the save question
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        tick.start();
        if (!view.files().openTextLogFile(path)) app.exit(1);
        if (cancelAfterMs >= 0) {
            QTimer::singleShot(cancelAfterMs, [&] {
                cancelledAt = clock.nsecsElapsed();
                if (QPushButton* cancel = view.files().cancelButton()) cancel->click();
            });
        }
    });
    return app.exec();
}
