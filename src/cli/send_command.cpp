// nimbrel-cli send: the in-box sender's eight bytes, written to a serial port in one write.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/com_capture.h"
#include "capture/com_port.h"
#include "capture/inbox_sender.h"
#include "cli/arg_parser.h"
#include "cli/commands.h"
#include "cli/terminal_view.h"
#include "pipeline/log_console.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kHelp =
    "Usage: nimbrel-cli send --com PORT [--baud N] B0 B1 B2 B3 B4 B5 B6 B7\n"
    "\n"
    "Writes eight bytes to the controller in one write. Each byte is a hexadecimal text\n"
    "(an optional sign and 0x prefix; digits up to the first non-digit; no digits give 0;\n"
    "the low eight bits count, so -1 and 1FF both give FF). Use \"\" for an empty text.\n"
    "\n"
    "Options:\n"
    "  --com PORT            serial port: a name such as ttyUSB0 (in /dev) or a path\n"
    "  --baud N              baud rate (default 115200)\n"
    "  -h, --help            show this help\n";

}  // namespace

int runSend(int argc, char** argv) {
    Args args(argc, argv);
    std::string port;
    long long baud = kDefaultBaudRate;
    std::vector<std::string> bytes;
    while (!args.done()) {
        if (args.isHelp()) {
            std::fputs(kHelp, stdout);
            return kExitOk;
        }
        std::string value;
        bool missing = false;
        if (args.option("--com", value, missing)) {
            if (missing || value.empty()) return usageError("send", "--com needs a port name");
            port = value;
        } else if (args.option("--baud", value, missing)) {
            if (missing || !parseNumber(value, 1, 4000000, baud)) {
                return usageError("send", "--baud needs a rate from 1 to 4000000");
            }
        } else {
            bytes.emplace_back(args.take());
        }
    }
    if (port.empty()) return usageError("send", "--com PORT is required");
    if (bytes.size() != 8) return usageError("send", "expected exactly eight byte texts");

    std::array<std::u16string, 8> texts;
    std::array<std::u16string_view, 8> views;
    for (std::size_t k = 0; k < 8; ++k) {
        texts[k] = utf8ToUtf16(bytes[k]);
        views[k] = texts[k];
    }
    const InBoxMessage message = buildInBoxMessage(views);

    SerialPort& serial = comPort();
    const SerialOpenResult opened = serial.open(port, static_cast<std::uint32_t>(baud));
    if (!opened.ok()) {
        TerminalView view(stderr, false);
        StringFilter noFilter;
        LogConsole console(view, noFilter);
        reportPortOpenFailure(console, port, opened);
        return kExitFailure;
    }
    const int err = sendInBox(message);
    serial.close();
    if (err != 0) {
        std::fprintf(stderr, "nimbrel-cli send: write to %s failed: error 0x%x\n", port.c_str(), err);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace nimbrel::cli
