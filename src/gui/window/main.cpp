// nimbrel: the windowed application.
#include <QApplication>
#include <csignal>
#include <cstdio>

#include "gui/window/nimbrel_app.h"

namespace {

constexpr const char* kUsage =
    "Usage: nimbrel [--demo [--rate RECORDS_PER_S]] [TEXT_LOG]\n"
    "\n"
    "Shows the live decoded log of a Bluetooth controller's firmware. Choose the port in\n"
    "Setting > Com Setting and start the capture with Debug > With Com.\n"
    "\n"
    "  --demo        start a simulated controller on a new pseudo-terminal and capture\n"
    "                from it with Auto Parse Log on\n"
    "  --rate R      records per second of the simulated controller (default 50)\n"
    "  TEXT_LOG      open this text log (UTF-16LE, as File > Save writes it) at start\n"
    "  -h, --help    show this help\n";

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file-size limit (ulimit -f) would otherwise kill the window without a word: with
    // the signal ignored, saving a text log or a raw data file fails in words instead.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    const nimbrel::gui::AppOptions options =
        nimbrel::gui::parseAppArguments(QApplication::arguments());
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "nimbrel: %s\n\n%s", qPrintable(options.error), kUsage);
        return 2;
    }
    nimbrel::gui::CNimbrelApp theApp(app);
    if (!theApp.InitInstance(options)) return 1;
    return app.exec();
}
