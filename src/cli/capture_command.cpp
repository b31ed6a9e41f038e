// nimbrel-cli capture: a live capture over a serial port, as With Com does it, or over the
// filter or UART driver, as With Filter Driver and With Uart Driver do it. Record lines go
// to stdout, console lines to stderr; ends on SIGINT/SIGTERM, after --duration, or when the
// port goes away, with a summary of what was framed, skipped and lost.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/com_capture.h"
#include "capture/driver_capture.h"
#include "capture/driver_requests.h"
#include "capture/failure_words.h"
#include "cli/arg_parser.h"
#include "cli/colour_depth.h"
#include "cli/commands.h"
#include "cli/default_definitions.h"
#include "cli/failure_report.h"
#include "cli/stop_signal.h"
#include "cli/terminal_view.h"
#include "files/text_line_writer.h"
#include "platform/control_device.h"
#include "platform/file_handle.h"
#include "platform/local_time.h"
#include "platform/path.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kHelp =
    "Usage: nimbrel-cli capture [--com PORT | --filter-driver | --uart-driver] [OPTIONS]\n"
    "\n"
    "Captures the controller's log live over a serial port or through the filter or\n"
    "UART bus driver: record lines on stdout, status messages on stderr. Ends on Ctrl-C\n"
    "(SIGINT), SIGTERM, after --duration, or when the port goes away, and then prints a\n"
    "summary on stderr. A driver capture stays armed while the radio is away and goes on\n"
    "when it comes back.\n"
    "\n"
    "Options:\n"
    "  --com PORT            serial port: a name such as ttyUSB0 (in /dev) or a path\n"
    "                        (default: the stored Com setting, as With Com uses it)\n"
    "  --filter-driver       capture through the filter driver's device BtFilter\n"
    "  --uart-driver         capture through the UART bus driver's device CorvaneUartBus\n"
    "                        (devices in NIMBREL_DEVICE_DIR, radios in\n"
    "                        NIMBREL_BT_CLASS_DIR; see docs/device-bridge.md)\n"
    "  --baud N              baud rate (default: the stored BaudRate setting, 115200\n"
    "                        when none is stored)\n"
    "  --defs FILE           message definition file (default: the stored Log1Path\n"
    "                        when that file exists, else LOG1.h in the program folder)\n"
    "  --parse               decode HCI commands, HCI events and LMP PDUs\n"
    "  --save-raw[=DIR]      record every record with a time stamp into a raw data file\n"
    "                        in DIR (default: the program folder)\n"
    "  --duration SEC        stop after SEC seconds\n"
    "  --color WHEN          auto, always or never (default auto)\n"
    "  -h, --help            show this help\n"
    "\n"
    "Exit status: 0 success (also when stopped by Ctrl-C), 1 failure (port cannot be\n"
    "opened or went away, driver logging cannot be enabled, the driver did not answer\n"
    "or broke the device bridge's protocol, raw data file cannot be written), 2 usage\n"
    "error.\n";

// Record lines from the print thread, flushed by the main thread while the stream is quiet.
class SharedStdout : public LineOutput {
public:
    explicit SharedStdout(bool colour) {
        writer_.attachStandardOutput();
        writer_.setColour(colour, terminalColourDepth());
    }
    void writeLine(std::u16string_view line, Rgb colour) override {
        std::lock_guard lock(mutex_);
        writer_.writeLine(line, colour);
    }
    int flush() {
        std::lock_guard lock(mutex_);
        return writer_.flush();
    }

private:
    std::mutex mutex_;
    TextLineWriter writer_;
};

struct Options {
    std::string port;    // empty: the stored Com
    long long baud = 0;  // 0: the stored BaudRate
    DecodeOptions decode;
    bool saveRaw = false;
    std::string saveRawFolder;  // empty: the program folder
    long long durationSeconds = 0;
    CaptureRoute route = CaptureRoute::Com;
};

int parse(int argc, char** argv, Options& o) {
    Args args(argc, argv);
    while (!args.done()) {
        if (args.isHelp()) {
            std::fputs(kHelp, stdout);
            return -1;
        }
        const Taken common = takeDecodeOption(args, "capture", o.decode);
        if (common == Taken::UsageError) return kExitUsage;
        if (common == Taken::Yes) continue;
        std::string value;
        bool missing = false;
        if (args.flag("--save-raw")) {
            o.saveRaw = true;
        } else if (args.flag("--filter-driver")) {
            if (o.route == CaptureRoute::Uart)
                return usageError("capture", "choose one of --filter-driver and --uart-driver");
            o.route = CaptureRoute::Filter;
        } else if (args.flag("--uart-driver")) {
            if (o.route == CaptureRoute::Filter)
                return usageError("capture", "choose one of --filter-driver and --uart-driver");
            o.route = CaptureRoute::Uart;
        } else if (args.option("--save-raw", value, missing)) {
            if (value.empty()) return usageError("capture", "--save-raw= needs a folder");
            o.saveRaw = true;
            o.saveRawFolder = value;
            while (o.saveRawFolder.size() > 1 && isPathSeparator(o.saveRawFolder.back()))
                o.saveRawFolder.pop_back();
        } else if (args.option("--com", value, missing)) {
            if (missing || value.empty()) return usageError("capture", "--com needs a port name");
            o.port = value;
        } else if (args.option("--baud", value, missing)) {
            if (missing || !parseNumber(value, 1, 4000000, o.baud)) {
                return usageError("capture", "--baud needs a rate from 1 to 4000000");
            }
        } else if (args.option("--duration", value, missing)) {
            if (missing || !parseNumber(value, 1, 1000000000, o.durationSeconds)) {
                return usageError("capture", "--duration needs a whole number of seconds");
            }
        } else {
            return usageError("capture", "unexpected argument '" + std::string(args.peek()) + "'");
        }
    }
    if (isDriverRoute(o.route) && (!o.port.empty() || o.baud != 0)) {
        return usageError("capture",
                          "--com and --baud belong to a serial capture, not to a driver");
    }
    return 0;
}

// Radio notifications, posted by the watcher's thread to the main loop (as the GUI posts
// them to its window). Process-wide: the registration outlives the command.
struct RadioEvents {
    std::mutex mutex;
    std::vector<bool> arrivals;  // true: arrival, false: removal complete
    static RadioEvents& get() {
        static RadioEvents instance;
        return instance;
    }
    static RadioCallbacks callbacks() {
        return {[](const std::string&) { get().post(true); },
                [](const std::string&) { get().post(false); }};
    }
    void post(bool arrival) {
        std::lock_guard lock(mutex);
        arrivals.push_back(arrival);
    }
    std::vector<bool> take() {
        std::lock_guard lock(mutex);
        return std::exchange(arrivals, {});
    }
};

// "The driver did not answer" as the middle of a sentence.
std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

void printSummary(const CaptureCounters& c, const char* how) {
    std::fprintf(stderr,
                 "Capture ended%s: %llu records framed, %llu bytes skipped as noise, %llu bytes "
                 "lost to a ring "
                 "overrun.\n",
                 how, static_cast<unsigned long long>(c.recordsFramed()),
                 static_cast<unsigned long long>(c.noiseBytes()),
                 static_cast<unsigned long long>(c.overrunBytes()));
}

// The summary's last line: the raw data file, or why there is none or why it is
// incomplete (exit 1). A file that was never created is never named as the result.
int reportRawDataFile(const RawDataFile& file) {
    const std::string name = file.name();
    const int error = file.lastError();
    if (fileStatus(name).kind == FileKind::Missing) {
        std::fprintf(stderr,
                     "No raw data file was written: %s cannot be created (error 0x%x: %s).\n",
                     name.c_str(), error, std::strerror(error));
        return kExitFailure;
    }
    if (file.entriesLost() > 0) {
        std::fprintf(stderr,
                     "Raw data file: %s is incomplete: %llu records could not be written (error "
                     "0x%x: %s).\n",
                     name.c_str(), static_cast<unsigned long long>(file.entriesLost()), error,
                     std::strerror(error));
        return kExitFailure;
    }
    std::fprintf(stderr, "Raw data file: %s\n", name.c_str());
    return kExitOk;
}

// With Filter Driver / With Uart Driver: the route stays armed across radio removals until
// the command is stopped; a radio arrival restarts it (the UART route after its pause).
int captureFromDriver(const Options& o, CaptureSession& core, SharedStdout& out) {
    const bool uart = o.route == CaptureRoute::Uart;
    std::fprintf(stderr, "Capturing through the %s driver at %s.\n", uart ? "UART bus" : "filter",
                 controlDevicePath(uart ? kUartDeviceName : kFilterDeviceName).c_str());
    RadioEvents::get().take();
    DriverCapture driver(core, RadioEvents::callbacks());
    const std::string defs = o.decode.defs.empty() ? defaultDefinitionFile() : o.decode.defs;
    if (uart) {
        driver.OnDebugWithUartDriver(defs);
    } else {
        driver.OnDebugWithFilterDriver(defs);
    }
    if (!core.definitions.loaded()) {
        WaitForAllThreadExit(core, std::chrono::milliseconds(2000));
        return kExitFailure;
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(o.durationSeconds);
    bool restartPending = false;
    Clock::time_point restartAt;
    bool firstEnableFailed = false;
    while (!stopRequested()) {
        if (o.durationSeconds > 0 && Clock::now() >= deadline) break;
        // Without a driver the command has nothing to wait for.
        if (driver.threadsStarted() == 1 && !core.capture.captureThreadRunning() &&
            driver.enableFailed()) {
            firstEnableFailed = true;
            break;
        }
        for (const bool arrival : RadioEvents::get().take()) {
            if (!arrival) {
                driver.onDeviceRemovalComplete();
                continue;
            }
            const auto pause = driver.onDeviceArrival();
            if (pause.count() >= 0) {
                restartPending = true;
                restartAt = Clock::now() + pause;
            }
        }
        if (restartPending && Clock::now() >= restartAt) {
            restartPending = false;
            driver.restartAfterArrival();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        out.flush();
    }
    WaitForAllThreadExit(core, std::chrono::milliseconds(5000));
    out.flush();
    if (firstEnableFailed) return kExitFailure;
    printSummary(core.hub.counters, stopRequested() ? " (stopped by the user)" : "");
    const DriverDevice& device = driverDevice(o.route);
    const std::string path = controlDevicePath(uart ? kUartDeviceName : kFilterDeviceName);
    if (device.protocolFaults() > 0) {
        std::fprintf(stderr, "%llu driver requests failed: %s.\n",
                     static_cast<unsigned long long>(device.protocolFaults()),
                     lowerFirst(driverFailureText(device.firstProtocolFault(), 0, path)).c_str());
    }
    int rc = o.saveRaw ? reportRawDataFile(core.hub.rawDataFile) : kExitOk;
    // A capture that ended with its device failing has failed, however it was stopped.
    if (device.stopTimedOut() || device.failing()) {
        const int error = device.stopTimedOut() ? ETIMEDOUT : device.firstProtocolFault();
        reportFailure(lowerFirst(driverFailureText(error, 0, path)), 0);
        rc = kExitFailure;
    }
    return rc;
}

}  // namespace

int runCapture(int argc, char** argv) {
    Options o;
    if (const int rc = parse(argc, argv, o); rc != 0) return rc < 0 ? kExitOk : rc;

    if (!o.saveRawFolder.empty()) {
        if (const int err = checkWritableFolder(o.saveRawFolder); err != 0) {
            reportFailure("cannot save raw data files in " + o.saveRawFolder, err);
            return kExitFailure;
        }
    }

    installStopSignals();

    TerminalView view(stderr, useColour(o.decode.colour, stderr));
    SharedStdout out(useColour(o.decode.colour, stdout));
    CaptureSession core(view, o.saveRawFolder.empty() ? programFolder() : o.saveRawFolder);
    core.toggles.setAutoParseLog(o.decode.parse);
    core.hub.setAutoSaveRawData(o.saveRaw);
    core.setLineOutput(&out);
    if (isDriverRoute(o.route)) return captureFromDriver(o, core, out);

    // Like With Com: what was not given comes from the stored Com and BaudRate.
    const char* portSource = o.port.empty() ? " (stored setting Com)" : "";
    const char* baudSource = o.baud == 0 ? " (stored setting BaudRate)" : "";
    if (o.port.empty()) o.port = storedComPort();
    if (o.baud == 0) o.baud = storedBaudRate();
    std::fprintf(stderr, "Capturing from %s%s at %lld baud%s.\n", o.port.c_str(), portSource,
                 o.baud, baudSource);
    ComCapture com(core, storedPrintRawData);
    const std::string defs = o.decode.defs.empty() ? defaultDefinitionFile() : o.decode.defs;
    com.start(defs, o.port, static_cast<std::uint32_t>(o.baud));
    if (!core.definitions.loaded()) {
        // Without definitions records would be recorded but never shown.
        WaitForAllThreadExit(core, std::chrono::milliseconds(2000));
        return kExitFailure;
    }

    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + std::chrono::seconds(o.durationSeconds);
    while (!stopRequested() && core.capture.captureThreadRunning()) {
        if (o.durationSeconds > 0 && std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        out.flush();
    }
    WaitForAllThreadExit(core, std::chrono::milliseconds(5000));
    out.flush();
    const std::string path = serialDevicePath(o.port);
    if (com.openFailed()) {
        const int err = com.openError();
        reportFailure("cannot open " + path, err, serialPortHint(err, "capture", path));
        return kExitFailure;
    }

    const bool gone = com.deviceGone();
    printSummary(core.hub.counters, gone              ? " (the port went away)"
                                    : stopRequested() ? " (stopped by the user)"
                                                      : "");
    const int rc = o.saveRaw ? reportRawDataFile(core.hub.rawDataFile) : kExitOk;
    // The capture's source failed: that is no success, whatever was captured before.
    if (gone) {
        reportFailure("the port " + path + " went away", com.goneError());
        return kExitFailure;
    }
    return rc;
}

}  // namespace nimbrel::cli
