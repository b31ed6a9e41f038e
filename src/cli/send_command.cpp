// nimbrel-cli send: the in-box sender's eight bytes, written to a serial port in one write.
#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "capture/com_capture.h"
#include "capture/com_port.h"
#include "capture/inbox_sender.h"
#include "cli/arg_parser.h"
#include "cli/commands.h"
#include "cli/failure_report.h"
#include "cli/terminal_view.h"
#include "pipeline/log_console.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kHelp =
    "Usage: nimbrel-cli send --com PORT [--baud N] B0 B1 B2 B3 B4 B5 B6 B7\n"
    "\n"
    "Writes eight bytes to the controller in one write and says what it sent. Each byte\n"
    "is one or two hexadecimal digits, with or without a 0x prefix (00 to FF); any other\n"
    "text is refused before the port is opened.\n"
    "\n"
    "Options:\n"
    "  --com PORT            serial port: a name such as ttyUSB0 (in /dev) or a path\n"
    "  --baud N              baud rate (default 115200)\n"
    "  -h, --help            show this help\n"
    "\n"
    "Exit status: 0 sent, 1 failure (port cannot be opened or written), 2 usage error.\n";

// One or two hexadecimal digits, optionally after 0x.
bool strictHexByte(std::string_view text, std::uint8_t& out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 2) return false;
    unsigned value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    out = static_cast<std::uint8_t>(value);
    return true;
}

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

    InBoxMessage message{};
    for (std::size_t k = 0; k < 8; ++k) {
        if (!strictHexByte(bytes[k], message[k])) {
            return usageError("send", "'" + bytes[k] + "' is not a hexadecimal byte (00 to FF)");
        }
    }

    SerialPort& serial = comPort();
    const SerialOpenResult opened = serial.open(port, static_cast<std::uint32_t>(baud));
    if (!opened.ok()) {
        TerminalView view(stderr, false);
        StringFilter noFilter;
        LogConsole console(view, noFilter);
        reportPortOpenFailure(console, port, opened);
        reportFailure("cannot open " + serialDevicePath(port), opened.error,
                      serialPortHint(opened.error, "send", serialDevicePath(port)));
        return kExitFailure;
    }
    const int err = sendInBox(message);
    serial.close();
    if (err != 0) {
        reportFailure("write to " + serialDevicePath(port) + " failed", err);
        return kExitFailure;
    }
    std::string sent;
    for (std::uint8_t b : message) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", sent.empty() ? "" : " ", b);
        sent += hex;
    }
    std::fprintf(stderr, "Sent %s to %s at %lld baud.\n", sent.c_str(),
                 serialDevicePath(port).c_str(), baud);
    return kExitOk;
}

}  // namespace nimbrel::cli
