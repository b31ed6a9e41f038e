// The COM route: a capture thread that opens a serial port, reads it in chunks of up to
// 512 bytes and appends them to the capture ring, from which the print thread frames and
// shows the records.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace nimbrel {

class ViewCore;

class ComCapture {
public:
    // `printRawData` reads the PrintRawData setting; 1 echoes every chunk as text.
    ComCapture(ViewCore& core, std::function<std::uint32_t()> printRawData);

    enum class StartResult { Started, ViewInUse };
    // With Com without its dialogs: refuses while a route is active (the caller shows
    // "Error!The view is being used."), else reloads the definition file at
    // `definitionFile` and starts the capture thread on `port`.
    StartResult start(const std::string& definitionFile, const std::string& port, std::uint32_t baudRate);

    // The last capture failed to open or configure its port.
    bool openFailed() const { return openFailed_.load(); }
    // The last capture ended because its device went away.
    bool deviceGone() const { return deviceGone_.load(); }

private:
    void threadMain(std::string port, std::uint32_t baudRate);
    void echoChunk(const std::uint8_t* bytes, std::size_t n);

    ViewCore& core_;
    std::function<std::uint32_t()> printRawData_;
    std::atomic<bool> openFailed_{false};
    std::atomic<bool> deviceGone_{false};
};

}  // namespace nimbrel
