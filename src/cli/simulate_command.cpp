// nimbrel-cli simulate: the controller simulator. Writes raw data files, or streams a live
// firmware log to a serial device or to a new pseudo-terminal, or serves the filter or UART
// driver device of the device bridge.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/simulate_live.h"
#include "sim/raw_file_writer.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kUsage =
    "Usage: nimbrel-cli simulate --raw-file OUT [--records N] [--seed S]\n"
    "       nimbrel-cli simulate --serial [PORT] [--rate RECORDS_PER_S] [--records N] [--seed S] "
    "[--baud N]\n"
    "       nimbrel-cli simulate --driver filter|uart [--rate RECORDS_PER_S] [--records N] [--seed "
    "S]\n"
    "                            [--random-replies] [--request-log FILE] [--radio-dir DIR]\n"
    "                            [--radio-off-after SEC] [--radio-on-after SEC]\n";

constexpr const char* kHelp =
    "Simulates a Bluetooth controller that writes its firmware log: start-up messages, HCI\n"
    "commands and events, LMP PDUs, state, warning and error lines in every colour, strings,\n"
    "raw dumps and an occasional message index that LOG1.h does not define. The records use\n"
    "the message indices of the demo definition file LOG1.h. The same seed always gives the\n"
    "same records.\n"
    "\n"
    "Options:\n"
    "  --raw-file OUT   write a raw data file of N records, as a capture would have saved it\n"
    "  --serial [PORT]  stream the log to a serial port (a name without '/' means /dev/NAME);\n"
    "                   without PORT, create a pseudo-terminal, print its path on one line and\n"
    "                   stream to it until interrupted (or N records have been read)\n"
    "  --driver KIND    serve the filter driver (KIND filter) or the UART bus driver (uart)\n"
    "                   device: listen on BtFilter or CorvaneUartBus in the device folder\n"
    "                   (NIMBREL_DEVICE_DIR, else $XDG_RUNTIME_DIR/nimbrel, else\n"
    "                   /tmp/nimbrel-UID), print the socket's path on one line and answer\n"
    "                   set-log and read requests with the log until interrupted\n"
    "  --rate R         records per second while streaming or while the driver's logging is\n"
    "                   on; 0 = as fast as the device or the reads take them (default 100)\n"
    "  --records N      number of records (default 1000 for --raw-file, unlimited otherwise)\n"
    "  --random-replies each read reply carries a random number (1 to 1023) of bytes\n"
    "  --request-log F  write the requests the driver receives to F (default: stderr)\n"
    "  --radio-dir DIR  keep the controller's radio entry DIR/hci0 while the radio is present\n"
    "                   (point NIMBREL_BT_CLASS_DIR of the capture at DIR)\n"
    "  --radio-off-after SEC, --radio-on-after SEC\n"
    "                   seconds from the start at which the radio disappears or appears; the\n"
    "                   radio is present at the start unless it is to appear first. While it\n"
    "                   is absent, read requests fail with ENODEV\n"
    "  --seed S         seed of the generator (default 1)\n"
    "  --baud N         baud rate of a serial PORT (default 115200)\n"
    "  -h, --help       show this help\n"
    "\n"
    "Streaming ends cleanly on SIGINT or SIGTERM.\n"
#ifdef _WIN32
    "\n"
    "On Windows only --raw-file is available: the serial and driver sides of the\n"
    "simulator need a pseudo-terminal and the device bridge, which Linux has.\n"
#endif
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

bool parseUnsigned(const char* text, std::uint64_t& out) {
    if (!text || !*text || *text == '-' || *text == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0') return false;
    out = v;
    return true;
}

bool parseRate(const char* text, double& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < 0) return false;
    out = v;
    return true;
}

int usageError(const char* message, const char* detail = nullptr) {
    if (detail) {
        std::fprintf(stderr, "nimbrel-cli simulate: %s '%s'\n", message, detail);
    } else {
        std::fprintf(stderr, "nimbrel-cli simulate: %s\n", message);
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

// Returns -1 when parsing succeeded, else the exit code.
int parse(int argc, char** argv, SimulateOptions& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--raw-file") {
            if (!value(v) || !*v) return usageError("--raw-file needs a file name");
            o.rawFile = v;
        } else if (a == "--serial") {
            o.serial = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') o.port = argv[++i];
        } else if (a == "--driver") {
            if (!value(v) || (std::strcmp(v, "filter") != 0 && std::strcmp(v, "uart") != 0))
                return usageError("--driver needs filter or uart, not", v ? v : "");
            o.driver = v;
        } else if (a == "--random-replies") {
            o.randomReplies = true;
        } else if (a == "--request-log") {
            if (!value(v) || !*v) return usageError("--request-log needs a file name");
            o.requestLog = v;
        } else if (a == "--radio-dir") {
            if (!value(v) || !*v) return usageError("--radio-dir needs a folder");
            o.radioDir = v;
        } else if (a == "--radio-off-after") {
            if (!value(v) || !parseRate(v, o.radioOffAfter))
                return usageError("--radio-off-after needs seconds, not", v ? v : "");
        } else if (a == "--radio-on-after") {
            if (!value(v) || !parseRate(v, o.radioOnAfter))
                return usageError("--radio-on-after needs seconds, not", v ? v : "");
        } else if (a == "--records") {
            if (!value(v) || !parseUnsigned(v, o.records))
                return usageError("--records needs a count, not", v ? v : "");
            o.haveRecords = true;
        } else if (a == "--seed") {
            if (!value(v) || !parseUnsigned(v, o.seed))
                return usageError("--seed needs a number, not", v ? v : "");
        } else if (a == "--rate") {
            if (!value(v) || !parseRate(v, o.rate))
                return usageError("--rate needs records per second, not", v ? v : "");
            o.haveRate = true;
        } else if (a == "--baud") {
            if (!value(v) || !parseUnsigned(v, o.baud) || o.baud == 0 || o.baud > 0xFFFFFFFFu)
                return usageError("--baud needs a baud rate, not", v ? v : "");
            o.haveBaud = true;
        } else {
            return usageError("unknown argument", argv[i]);
        }
    }
    if (o.help) return -1;
    if (static_cast<int>(!o.rawFile.empty()) + static_cast<int>(o.serial) +
            static_cast<int>(!o.driver.empty()) !=
        1)
        return usageError("choose one of --raw-file OUT, --serial [PORT] and --driver KIND");
    const bool driverOptions = o.randomReplies || !o.requestLog.empty() || !o.radioDir.empty() ||
                               o.radioOffAfter >= 0 || o.radioOnAfter >= 0;
    if (o.driver.empty() && driverOptions)
        return usageError("--random-replies, --request-log and --radio-* belong to --driver");
    if (o.radioDir.empty() && (o.radioOffAfter >= 0 || o.radioOnAfter >= 0))
        return usageError("--radio-off-after and --radio-on-after need --radio-dir");
    if (!o.driver.empty() && o.haveBaud) return usageError("--baud belongs to --serial");
    if (!o.rawFile.empty() && (o.haveRate || o.haveBaud))
        return usageError("--rate and --baud belong to --serial");
    if (o.serial && o.port.empty() && o.haveBaud) return usageError("--baud needs a serial PORT");
    return -1;
}

int runRawFile(const SimulateOptions& o) {
    const std::uint64_t records = o.haveRecords ? o.records : 1000;
    const int err = sim::writeRawDataFile(o.rawFile, o.seed, records);
    if (err != 0) {
        std::fprintf(stderr, "nimbrel-cli simulate: cannot write %s: %s\n", o.rawFile.c_str(),
                     std::strerror(err));
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int runSimulate(int argc, char** argv) {
    SimulateOptions o;
    if (const int rc = parse(argc, argv, o); rc >= 0) return rc;
    if (o.help) {
        std::fputs(kUsage, stdout);
        std::fputs("\n", stdout);
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (!o.rawFile.empty()) return runRawFile(o);
    if (!o.driver.empty()) return runDriver(o);

    if (o.haveRecords && o.records == 0) return kExitOk;
    if (!o.port.empty()) return runSerialPort(o);
    return runPseudoTerminal(o);
}

}  // namespace nimbrel::cli
