// Opens a text log of N lines (default 1,000,000) in the window as File > Open does and
// reports how long it took and the longest time the GUI thread did not answer (measured
// by a 1 ms timer). Runs offscreen; settings go to a temporary folder.
//
//   QT_QPA_PLATFORM=offscreen build/bin/gui_text_log_open [LINES]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/text_log_file.h"
#include "gui/file_commands.h"
#include "gui/main_frame.h"
#include "gui/nimbrel_app.h"
#include "gui/nimbrel_view.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    ::setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    ::setenv("NIMBREL_HOME", home.path().toLocal8Bit().constData(), 1);
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;

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
    const std::string path = (home.path() + "/big.log").toStdString();
    if (const int err = nimbrel::writeTextLog(path, text); err != 0) {
        std::fprintf(stderr, "cannot write %s: %d\n", path.c_str(), err);
        return 1;
    }
    const std::size_t viewLines =
        static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
    text.clear();
    text.shrink_to_fit();

    QApplication app(argc, argv);
    nimbrel::gui::CNimbrelApp theApp(app);
    if (!theApp.InitInstance({})) return 1;
    nimbrel::gui::CNimbrelView& view = *theApp.view();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 worstStall = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstStall = std::max(worstStall, now - lastTick);
        lastTick = now;
    });
    QObject::connect(&view.files(), &nimbrel::gui::FileCommands::workFinished, &app, [&] {
        view.core().view.plainText();  // shows what is still queued
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        std::printf("text log: %zu lines, %.1f MB\n", viewLines,
                    static_cast<double>(QFileInfo(QString::fromStdString(path)).size()) / 1e6);
        std::printf("open: %.2f s (%.0f k lines/s), view lines %lld, worst GUI stall %.1f ms\n",
                    seconds, static_cast<double>(viewLines) / seconds / 1000,
                    static_cast<long long>(view.lineCount()),
                    static_cast<double>(worstStall) / 1e6);
        std::fflush(stdout);
        theApp.mainFrame()->OnQueryEndSession();  // closes without the save question
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        tick.start();
        if (!view.files().openTextLogFile(QString::fromStdString(path))) app.exit(1);
    });
    return app.exec();
}
