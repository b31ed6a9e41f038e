#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"

namespace nimbrel {
namespace {

void (*g_stopHandler)() = nullptr;

extern "C" void onNimbrelStopSignal(int) {
    if (g_stopHandler) g_stopHandler();
}

}  // namespace

void prepareConsole() {}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

int terminalColumns(std::FILE* stream) {
    winsize size{};
    if (!isTerminal(stream) || ::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

bool enableTerminalColours(std::FILE*) { return true; }

void installStopHandler(void (*handler)()) {
    g_stopHandler = handler;
    struct sigaction sa {};
    sa.sa_handler = onNimbrelStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace nimbrel
