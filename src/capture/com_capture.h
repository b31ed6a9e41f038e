// The COM route: a capture thread that opens a serial port, reads it in chunks of up to
// 512 bytes and appends them to the capture ring, from which the print thread frames and
// shows the records.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/serial_port.h"

namespace nimbrel {

class LogConsole;
class CaptureSession;

// Reports a port that could not be opened or configured, naming the step that failed:
// "[R] Step 1, Fail to open %s: GetLastError=0x%x", "[R] Step 2, Fail to open %s"
// (time-outs), "[R] Step 3, Fail to open %s" (settings); then a second red line with the
// reason in words and a hint (serialOpenFailureText).
void reportPortOpenFailure(LogConsole& console, const std::string& port,
                           const SerialOpenResult& result);

class ComCapture {
public:
    // `printRawData` reads the PrintRawData setting; 1 echoes every chunk as text.
    ComCapture(CaptureSession& core, std::function<std::uint32_t()> printRawData);

    enum class StartResult { Started, ViewInUse };
    // With Com without its dialogs: refuses while a route is active (the caller shows
    // "Error!The view is being used."), else reloads the definition file at
    // `definitionFile` and starts the capture thread on `port`.
    StartResult start(const std::string& definitionFile, const std::string& port,
                      std::uint32_t baudRate);

    // The last capture failed to open or configure its port.
    bool openFailed() const { return openFailed_.load(); }
    // The errno value of the failed open step (0 when none failed).
    int openError() const { return openError_.load(); }
    // The last capture ended because its device went away, and the read's errno value.
    bool deviceGone() const { return deviceGone_.load(); }
    int goneError() const { return goneError_.load(); }

private:
    void threadMain(std::string port, std::uint32_t baudRate);
    void echoChunk(const std::uint8_t* bytes, std::size_t n);

    CaptureSession& core_;
    std::function<std::uint32_t()> printRawData_;
    std::atomic<bool> openFailed_{false};
    std::atomic<int> openError_{0};
    std::atomic<bool> deviceGone_{false};
    std::atomic<int> goneError_{0};
};

}  // namespace nimbrel
