// nimbrel-cli extcap: Wireshark's external capture interface. Wireshark runs the program
// (through a link named nimbrel-extcap in its extcap folder) to list the interfaces, their
// link type and options, and then to capture: the HCI packets of the live firmware log go
// to Wireshark's FIFO as a pcap stream as they are framed, until Wireshark stops the
// capture (SIGTERM, or it closes the FIFO) or the port or radio goes away.
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/com_capture.h"
#include "capture/driver_capture.h"
#include "capture/driver_requests.h"
#include "capture/failure_words.h"
#include "cli/arg_parser.h"
#include "cli/commands.h"
#include "cli/default_definitions.h"
#include "cli/extcap_interfaces.h"
#include "cli/failure_report.h"
#include "cli/stop_signal.h"
#include "files/hci_pcap_tap.h"
#include "files/pcap_writer.h"
#include "pipeline/line_output.h"
#include "pipeline/memory_log_view.h"
#include "platform/control_device.h"
#include "platform/output_file.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kHelp =
    "Usage: nimbrel-cli extcap --extcap-interfaces\n"
    "       nimbrel-cli extcap --extcap-interface IFACE --extcap-dlts\n"
    "       nimbrel-cli extcap --extcap-interface IFACE --extcap-config\n"
    "       nimbrel-cli extcap --extcap-interface IFACE --capture --fifo PATH [OPTIONS]\n"
    "\n"
    "Wireshark's external capture interface: Wireshark runs this program to show the\n"
    "controller's HCI traffic live. Interfaces: nimbrel-com (serial port), nimbrel-filter\n"
    "(filter driver), nimbrel-uart (UART bus driver). The HCI commands and events of the\n"
    "firmware log go to the FIFO as pcap (link type 201, Bluetooth H4 with direction).\n"
    "scripts/install-extcap.sh makes Wireshark find it; the program also runs as\n"
    "nimbrel-extcap under that name.\n"
    "\n"
    "Capture options:\n"
    "  --port PORT           serial port of nimbrel-com (default: the stored Com setting).\n"
    "                        A port has one owner at a time: capture it in Nimbrel or in\n"
    "                        Wireshark, not in both\n"
    "  --baud N              baud rate (default: the stored BaudRate setting)\n"
    "  --defs FILE           message definition file (default: the stored Log1Path\n"
    "                        when that file exists, else LOG1.h in the program folder)\n"
    "  --ember-flint         HCI records carry one leading word to skip\n"
    "  -h, --help            show this help\n"
    "\n"
    "Exit status: 0 success (also when Wireshark stops the capture), 1 failure (in words\n"
    "on stderr, which Wireshark shows), 2 usage error.\n";

enum class Step { None, Interfaces, Dlts, Config, Capture };

struct Options {
    Step step = Step::None;
    std::string interface;
    std::string fifo;
    std::string port;    // empty: the stored Com
    long long baud = 0;  // 0: the stored BaudRate
    std::string defs;    // empty: the file the GUI would choose
    bool emberFlint = false;
};

// Wireshark's own options that these interfaces have no use for.
bool takeIgnoredOption(Args& args) {
    std::string value;
    bool missing = false;
    for (const char* name : {"--extcap-version", "--debug"}) {
        if (args.flag(name) || args.option(name, value, missing)) return true;
    }
    for (const char* name :
         {"--extcap-capture-filter", "--debug-file", "--log-level", "--log-file",
          "--extcap-control-in", "--extcap-control-out", "--extcap-reload-option"}) {
        if (args.option(name, value, missing)) return true;
    }
    return false;
}

int setStep(Options& o, Step step) {
    if (o.step != Step::None && o.step != step) {
        return usageError("extcap",
                          "choose one of --extcap-interfaces, --extcap-dlts, --extcap-config "
                          "and --capture");
    }
    o.step = step;
    return 0;
}

int parse(int argc, char** argv, Options& o) {
    Args args(argc, argv);
    while (!args.done()) {
        if (args.isHelp()) {
            std::fputs(kHelp, stdout);
            return -1;
        }
        std::string value;
        bool missing = false;
        int rc = 0;
        if (args.flag("--extcap-interfaces")) {
            rc = setStep(o, Step::Interfaces);
        } else if (args.flag("--extcap-dlts")) {
            rc = setStep(o, Step::Dlts);
        } else if (args.flag("--extcap-config")) {
            rc = setStep(o, Step::Config);
        } else if (args.flag("--capture")) {
            rc = setStep(o, Step::Capture);
        } else if (args.option("--extcap-interface", value, missing)) {
            if (missing) return usageError("extcap", "--extcap-interface needs an interface");
            o.interface = value;
        } else if (args.option("--fifo", value, missing)) {
            if (missing || value.empty()) return usageError("extcap", "--fifo needs a path");
            o.fifo = value;
        } else if (args.option("--port", value, missing)) {
            if (missing || value.empty()) return usageError("extcap", "--port needs a port name");
            o.port = value;
        } else if (args.option("--baud", value, missing)) {
            if (missing || !parseNumber(value, 1, 4000000, o.baud))
                return usageError("extcap", "--baud needs a rate from 1 to 4000000");
        } else if (args.option("--defs", value, missing)) {
            if (missing) return usageError("extcap", "--defs needs a file");
            o.defs = value;
        } else if (args.flag("--ember-flint")) {
            o.emberFlint = true;
        } else if (takeIgnoredOption(args)) {
            continue;
        } else {
            return usageError("extcap", "unexpected argument '" + std::string(args.peek()) + "'");
        }
        if (rc != 0) return rc;
    }
    if (o.step == Step::None) {
        return usageError("extcap",
                          "expected --extcap-interfaces, --extcap-dlts, --extcap-config or "
                          "--capture");
    }
    if (o.step != Step::Interfaces && o.interface.empty())
        return usageError("extcap", "--extcap-interface is required");
    if (o.step == Step::Capture && o.fifo.empty())
        return usageError("extcap", "--capture needs --fifo PATH");
    return 0;
}

class DiscardedLines : public LineOutput {
public:
    void writeLine(std::u16string_view, Rgb) override {}
};

// Radio arrivals, posted by the watcher's thread for a driver route.
std::atomic<int> g_radioArrivals{0};

// The console's lines of the capture (its start, its failures), for a failure message.
void printConsole(const MemoryLogView& console) {
    for (const MemoryLogView::Run& line : console.lines()) {
        if (!line.text.empty()) std::fprintf(stderr, "%s\n", utf16ToUtf8(line.text).c_str());
    }
}

// Why a serial port could not be opened, in the words Wireshark shows.
std::string comOpenHint(int error, const std::string& devicePath) {
    if (error == EBUSY) {
        return "the port has one owner at a time and another program has it: a capture in "
               "Nimbrel, another Wireshark capture or a terminal program. Stop that capture, "
               "or capture the port in one of them only";
    }
    return serialPortHint(error, "extcap", devicePath);
}

struct CaptureEnd {
    bool portGone = false;
    bool enableFailed = false;
};

CaptureEnd runCom(const Options& o, CaptureSession& core, const OutputFile& fifo,
                  const HciPcapTap& tap, ComCapture& com) {
    const std::string port = o.port.empty() ? storedComPort() : o.port;
    const auto baud = static_cast<std::uint32_t>(o.baud != 0 ? o.baud : storedBaudRate());
    com.start(o.defs.empty() ? defaultDefinitionFile() : o.defs, port, baud);
    while (core.definitions.loaded() && !stopRequested() && tap.writeError() == 0 &&
           !fifo.readerGone() && core.capture.captureThreadRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {com.deviceGone(), false};
}

CaptureEnd runDriver(const Options& o, CaptureSession& core, const OutputFile& fifo,
                     const HciPcapTap& tap, CaptureRoute route) {
    DriverCapture driver(core, {[](const std::string&) { g_radioArrivals.fetch_add(1); }, {}});
    const std::string defs = o.defs.empty() ? defaultDefinitionFile() : o.defs;
    if (route == CaptureRoute::Uart) {
        driver.OnDebugWithUartDriver(defs);
    } else {
        driver.OnDebugWithFilterDriver(defs);
    }
    // The route stays armed while the radio is away; an arrival starts it again.
    using Clock = std::chrono::steady_clock;
    bool restartPending = false;
    Clock::time_point restartAt;
    CaptureEnd end;
    while (core.definitions.loaded() && !stopRequested() && tap.writeError() == 0 &&
           !fifo.readerGone()) {
        if (driver.threadsStarted() == 1 && !core.capture.captureThreadRunning() &&
            driver.enableFailed()) {
            end.enableFailed = true;
            break;
        }
        if (g_radioArrivals.exchange(0) > 0) {
            const auto pause = driver.onDeviceArrival();
            restartPending = pause.count() >= 0;
            restartAt = Clock::now() + pause;
        }
        if (restartPending && Clock::now() >= restartAt) {
            restartPending = false;
            driver.restartAfterArrival();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The threads use `driver`: they end before it does.
    WaitForAllThreadExit(core, std::chrono::milliseconds(5000));
    return end;
}

int capture(const Options& o, const ExtcapInterface& interface) {
    installStopSignals();
#ifdef SIGPIPE
    // A reader that goes away makes writes fail with EPIPE instead of ending the process.
    std::signal(SIGPIPE, SIG_IGN);
#endif

    OutputFile fifo;
    if (const int err = fifo.openExisting(o.fifo); err != 0) {
        reportFailure("extcap: cannot open Wireshark's FIFO " + o.fifo, err);
        return kExitFailure;
    }
    PcapStreamWriter writer(fifo);
    if (const int err = writer.writeHeader(); err != 0) {
        reportFailure("extcap: cannot write to Wireshark's FIFO " + o.fifo, err);
        return kExitFailure;
    }

    MemoryLogView console;
    CaptureSession core(console, programFolder());
    DiscardedLines lines;
    core.setLineOutput(&lines);
    HciPcapTap tap(core.definitions, o.emberFlint, writer);
    core.setRecordTap(&tap);

    ComCapture com(core, [] { return std::uint32_t{0}; });
    const CaptureEnd end = interface.route == CaptureRoute::Com
                               ? runCom(o, core, fifo, tap, com)
                               : runDriver(o, core, fifo, tap, interface.route);
    WaitForAllThreadExit(core, std::chrono::milliseconds(5000));

    if (!core.definitions.loaded()) {
        printConsole(console);
        reportFailure("extcap: cannot read the message definition file", 0,
                      "choose one in the interface's options, or put LOG1.h in the program "
                      "folder");
        return kExitFailure;
    }
    if (com.openFailed()) {
        printConsole(console);
        const std::string path = serialDevicePath(o.port.empty() ? storedComPort() : o.port);
        reportFailure("extcap: cannot open " + path, com.openError(),
                      comOpenHint(com.openError(), path));
        return kExitFailure;
    }
    if (end.enableFailed) {
        printConsole(console);
        reportFailure("extcap: the driver's logging could not be enabled", 0,
                      "is the driver running? see 'nimbrel-cli capture --help'");
        return kExitFailure;
    }
    if (interface.route != CaptureRoute::Com) {
        // A driver that stopped answering, or a driver side that broke the bridge's
        // protocol at any time (packets may be missing), fails the capture however it ended.
        const DriverDevice& device = driverDevice(interface.route);
        if (device.stopTimedOut() || device.failing() || device.protocolFaults() > 0) {
            printConsole(console);
            const std::string path = controlDevicePath(
                interface.route == CaptureRoute::Uart ? kUartDeviceName : kFilterDeviceName);
            const int error = device.stopTimedOut() ? ETIMEDOUT : device.firstProtocolFault();
            std::string words = driverFailureText(error, 0, path);
            words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
            reportFailure("extcap: " + words, 0);
            return kExitFailure;
        }
    }
    const int writeError = tap.writeError();
    if (writeError != 0 && writeError != EPIPE) {
        reportFailure("extcap: cannot write to Wireshark's FIFO " + o.fifo, writeError);
        return kExitFailure;
    }
    if (end.portGone) {
        std::fprintf(stderr, "nimbrel-cli extcap: %s went away after %llu HCI packets.\n",
                     serialDevicePath(o.port.empty() ? storedComPort() : o.port).c_str(),
                     static_cast<unsigned long long>(tap.packets()));
    }
    return kExitOk;
}

}  // namespace

int runExtcap(int argc, char** argv) {
    Options o;
    if (const int rc = parse(argc, argv, o); rc != 0) return rc < 0 ? kExitOk : rc;
    if (o.step == Step::Interfaces) {
        printExtcapInterfaces(stdout);
        return kExitOk;
    }
    const ExtcapInterface* interface = findExtcapInterface(o.interface);
    if (!interface) return usageError("extcap", "unknown interface '" + o.interface + "'");
    switch (o.step) {
    case Step::Dlts: printExtcapDlts(stdout, *interface); return kExitOk;
    case Step::Config: printExtcapConfig(stdout, *interface); return kExitOk;
    default: return capture(o, *interface);
    }
}

}  // namespace nimbrel::cli
