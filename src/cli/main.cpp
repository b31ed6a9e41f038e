// nimbrel-cli: the command-line front end over the same core as the GUI.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/console.h"
#include "platform/path.h"
#include "platform/version.h"

namespace nimbrel::cli {
// Each subcommand lives in its own file.
int runReplay(int, char**);
int runExport(int, char**);
int runExtcap(int, char**);
int runCapture(int, char**);
int runSend(int, char**);
int runSimulate(int, char**);
#if NIMBREL_HAVE_SETTINGS
int runSettings(int, char**);
#endif
}  // namespace nimbrel::cli

namespace {

using nimbrel::cli::Command;

const Command kCommands[] = {
    {"replay", "Decode a raw data file offline", nimbrel::cli::runReplay},
    {"export", "Write the HCI packets of a raw data file as a btsnoop file",
     nimbrel::cli::runExport},
    {"capture", "Capture the log live over a serial port", nimbrel::cli::runCapture},
    {"extcap", "Wireshark's capture interface: the controller's HCI traffic live",
     nimbrel::cli::runExtcap},
    {"send", "Send eight bytes to the controller over a serial port", nimbrel::cli::runSend},
    {"simulate",
     "Simulate a controller: raw data files, a live serial stream or the driver devices",
     nimbrel::cli::runSimulate},
#if NIMBREL_HAVE_SETTINGS
    {"settings", "List, read and change the stored settings", nimbrel::cli::runSettings},
#endif
    {nullptr, nullptr, nullptr},
};

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: nimbrel-cli COMMAND [OPTIONS]\n"
                 "\n"
                 "Captures, replays and decodes Bluetooth controller firmware logs.\n"
                 "\n"
                 "Commands:\n");
    for (const Command& c : kCommands) {
        if (c.name) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    }
    std::fprintf(out,
                 "\nRun 'nimbrel-cli COMMAND --help' for the options of a command,\n"
                 "'nimbrel-cli --version' for the version.\n"
                 "\nExit status: 0 success, 1 failure, 2 usage error.\n");
}

}  // namespace

int main(int argcIn, char** argvIn) {
#ifdef SIGXFSZ
    // A file-size limit (ulimit -f) would otherwise kill the program without a word: with
    // the signal ignored, the write fails with EFBIG and is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    nimbrel::prepareConsole();
    // Arguments as UTF-8 on every platform; the strings live until main returns.
    std::vector<std::string> arguments = nimbrel::commandLineArguments(argcIn, argvIn);
    std::vector<char*> pointers;
    for (std::string& a : arguments) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const int argc = static_cast<int>(arguments.size());
    char** argv = pointers.data();
    // Wireshark runs its extcap programs with its own arguments only: under the name of the
    // link in its extcap folder, this program is the extcap command.
    if (argc > 0) {
        const std::string_view name = nimbrel::pathFileName(argv[0]);
        if (name == "nimbrel-extcap" || name == "nimbrel-extcap.exe")
            return nimbrel::cli::runExtcap(argc, argv);
    }
    if (nimbrel::printVersionIfAsked("nimbrel-cli", argc, argv)) return nimbrel::cli::kExitOk;
    if (argc < 2) {
        printUsage(stderr);
        return nimbrel::cli::kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        printUsage(stdout);
        return nimbrel::cli::kExitOk;
    }
    for (const Command& c : kCommands) {
        if (c.name && std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "nimbrel-cli: unknown command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return nimbrel::cli::kExitUsage;
}
