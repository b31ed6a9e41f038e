// Saves a text log after one edit, as File > Save does: opens FILE in the window, waits
// until it is all in the view, types one character at the start and saves the text to a
// new file beside it. Reports the output's size and rate; the rate counts the writing up
// to the page cache, not the final fsync, which is reported apart.
//
//   QT_QPA_PLATFORM=offscreen build/bin/gui_text_log_save FILE
//
// Last line: "save: B MB in T s (R MB/s of output, fsync F s)".
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "bench_process.h"
#include "gui/logview/queued_log_view.h"
#include "gui/window/file_commands.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_app.h"
#include "gui/window/nimbrel_view.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_text_log_save FILE\n");
        return 2;
    }
    const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const std::string target = (path + ".saved").toStdString();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    ::setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    ::setenv("NIMBREL_HOME", home.path().toLocal8Bit().constData(), 1);

    QApplication app(argc, argv);
    nimbrel::gui::CNimbrelApp theApp(app);
    if (!theApp.InitInstance({})) return 1;
    nimbrel::gui::CNimbrelView& view = *theApp.view();
    int status = 0;
    QObject::connect(&view.files(), &nimbrel::gui::FileCommands::workFinished, &app, [&] {
        if (auto* queue = dynamic_cast<nimbrel::gui::QueuedLogView*>(&view.core().view)) {
            while (!queue->isDrained()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        // One edit: a character typed at the start of the text.
        view.setFocus();
        view.setSelection({0, 0}, {0, 0});
        QTest::keyClick(&view, Qt::Key_X);
        QElapsedTimer clock;
        clock.start();
        const int error =
            nimbrel::gui::FileCommands::saveTextLog(view.store().snapshot(), target, false);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        clock.restart();
        const int fd = ::open(target.c_str(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        const double syncSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const double mb =
            static_cast<double>(QFileInfo(QString::fromStdString(target)).size()) / 1e6;
        if (error != 0) {
            std::fprintf(stderr, "save failed: %d\n", error);
            status = 1;
        }
        std::printf("lines: %lld, peak resident %.0f MiB\n",
                    static_cast<long long>(view.lineCount()),
                    nimbrel::bench::mib(nimbrel::bench::peakResidentBytes()));
        std::printf("save: %.1f MB in %.2f s (%.0f MB/s of output, fsync %.2f s)\n", mb, seconds,
                    mb / seconds, syncSeconds);
        std::fflush(stdout);
        ::unlink(target.c_str());
        theApp.mainFrame()->OnQueryEndSession();
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        if (!view.files().openTextLogFile(path)) app.exit(1);
    });
    const int rc = app.exec();
    return rc != 0 ? rc : status;
}
