// A serial device opened in raw mode (8 data bits, no parity, 1 stop bit, no flow control)
// with reads that return after a short pause in the data or after about one second.
//
// Port names: on Linux a name without '/' means /dev/NAME ("ttyUSB0" -> /dev/ttyUSB0) and a
// name with '/' is used as given; on Windows a name means \\.\NAME ("COM5" ->
// \\.\COM5) unless it is a device path already. Error codes are errno values; the
// system's own code of a failed open is kept for the user to see.
//
// Threads: one thread reads while others may write and close. close() ends a pending read
// or write promptly and closes the descriptor exactly once, after every read and write in
// progress has left it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace nimbrel {

inline constexpr std::size_t kSerialReadMax = 512;
// A read returns when the buffer is full, when this long passes between two bytes after the
// first one, or when the total time-out runs out.
inline constexpr int kSerialInterByteTimeoutMs = 2;
// Total time-out of a read of n bytes: n * kSerialTotalPerByteMs + kSerialTotalConstantMs
// (1025 ms for a full 512-byte read).
inline constexpr int kSerialTotalPerByteMs = 2;
inline constexpr int kSerialTotalConstantMs = 1;
inline constexpr std::uint32_t kDefaultBaudRate = 115200;

// The device path for a port name.
std::string serialDevicePath(std::string_view portName);

// Which step of opening failed: the open itself, preparing the time-outs (the wake-up
// channel that lets close() end a read), or applying the line settings.
enum class SerialOpenStep { None, Open, Timeouts, Settings };

struct SerialOpenResult {
    SerialOpenStep failedStep = SerialOpenStep::None;
    int error = 0;  // errno of the failed step
    // The system's own code of the failure, as "GetLastError=0x%x" shows it: the errno
    // value on Linux, GetLastError() on Windows.
    unsigned systemCode = 0;
    bool ok() const { return failedStep == SerialOpenStep::None; }
};

enum class SerialReadStatus {
    Ok,          // count bytes arrived; 0 when the total time-out ran out without data
    Closed,      // the port is not open, or close() ended the read (error ECANCELED / EBADF)
    DeviceGone,  // the device went away: EIO, ENXIO or ENODEV, or a hang-up (error EIO)
    Failed,      // another read error (error holds it)
};

struct SerialReadResult {
    SerialReadStatus status = SerialReadStatus::Ok;
    std::size_t count = 0;  // bytes placed in the buffer (only with Ok)
    int error = 0;
};

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the port exclusively (TIOCEXCL and an advisory lock, so that no other capture
    // opens it, the superuser's included) and configures it. Fails with EBUSY when this
    // object is already open or another one holds the port.
    SerialOpenResult open(std::string_view portName, std::uint32_t baudRate = kDefaultBaudRate);

    bool isOpen() const;
    // Device path of the open port (empty when closed).
    std::string path() const;

    // Reads up to min(capacity, kSerialReadMax) bytes, honouring the time-outs above. Bytes
    // that arrived before a failure or a close() are returned first (with Ok); the failure
    // shows on the next read.
    SerialReadResult read(std::uint8_t* buffer, std::size_t capacity);

    // Writes all bytes. timeoutMs < 0 waits as long as it takes. Returns 0 or an errno:
    // EBADF when not open, ECANCELED when close() ended it, ETIMEDOUT, EIO/ENXIO/ENODEV when
    // the device went away.
    int write(const std::uint8_t* data, std::size_t size, int timeoutMs = -1);

    // Closes the port and ends pending reads and writes. True when this call closed it;
    // false when it was not open (or another thread's close got there first).
    bool close();

    // The open device (a non-blocking descriptor on Linux), or FileHandle::kInvalid. For
    // single-threaded users such as the simulator's streamer; it stays owned by this object.
    FileHandle::Native nativeHandle() const;

private:
    // Registers a reader/writer; false when not open.
    bool enter(FileHandle::Native& device, FileHandle::Native& wake);
    void leave();

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    FileHandle device_;
    FileHandle wake_;  // Linux: the event that ends a pending poll at close()
    int users_ = 0;
    bool closing_ = false;
    std::string path_;
};

// True when err means that the device went away (a vanished USB adapter, a hang-up).
bool isDeviceGoneError(int err);

}  // namespace nimbrel
