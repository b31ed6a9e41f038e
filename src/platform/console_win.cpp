#include <csignal>
#include <fcntl.h>
#include <io.h>

#include "platform/console.h"

// <windows.h> comes before the other Windows headers.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/win_util.h"

namespace nimbrel {
namespace {

void (*g_stopHandler)() = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        if (g_stopHandler) g_stopHandler();
        return TRUE;
    default: return FALSE;
    }
}

extern "C" void onNimbrelStopSignal(int) {
    if (g_stopHandler) g_stopHandler();
}

HANDLE consoleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

}  // namespace

void prepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(win::narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

bool isTerminal(std::FILE* stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(consoleOf(stream), &mode) != 0;
}

int terminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(consoleOf(stream), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool enableTerminalColours(std::FILE* stream) {
    const HANDLE console = consoleOf(stream);
    DWORD mode = 0;
    // Not a console (a file, a pipe): the escapes pass through as bytes.
    if (!::GetConsoleMode(console, &mode)) return true;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    return ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void installStopHandler(void (*handler)()) {
    g_stopHandler = handler;
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    std::signal(SIGTERM, onNimbrelStopSignal);
}

}  // namespace nimbrel
