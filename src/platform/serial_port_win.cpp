// The serial port on Windows: "\\.\COMn" opened for synchronous I/O without sharing, with
// the port state and the read time-outs the COM route asks for. A read of up to 512 bytes
// returns when the buffer is full, 2 ms after the last byte, or after 2 ms per byte + 1 ms.
#include <algorithm>
#include <cerrno>
#include <windows.h>

#include "platform/serial_port.h"
#include "platform/win_util.h"

namespace nimbrel {
namespace {

HANDLE handleOf(FileHandle::Native native) { return reinterpret_cast<HANDLE>(native); }

SerialOpenResult failure(SerialOpenStep step, DWORD code) {
    return {step, win::errnoFromWin32(code), static_cast<unsigned>(code)};
}

}  // namespace

bool isDeviceGoneError(int err) { return err == EACCES || err == ENODEV || err == ENXIO; }

std::string serialDevicePath(std::string_view portName) {
    if (portName.starts_with("\\\\.\\") || portName.starts_with("\\\\?\\"))
        return std::string(portName);
    return "\\\\.\\" + std::string(portName);
}

SerialPort::~SerialPort() { close(); }

SerialOpenResult SerialPort::open(std::string_view portName, std::uint32_t baudRate) {
    std::unique_lock lock(mutex_);
    if (device_.isOpen() || closing_) return failure(SerialOpenStep::Open, ERROR_BUSY);
    const std::string path = serialDevicePath(portName);

    // Read and write, no sharing, existing only, no overlapped I/O.
    const HANDLE h = ::CreateFileW(win::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return failure(SerialOpenStep::Open, ::GetLastError());
    FileHandle device(reinterpret_cast<FileHandle::Native>(h));

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kSerialInterByteTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = kSerialTotalPerByteMs;
    timeouts.ReadTotalTimeoutConstant = kSerialTotalConstantMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!::SetCommTimeouts(h, &timeouts))
        return failure(SerialOpenStep::Timeouts, ::GetLastError());

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(h, &dcb);  // a failure shows when the state is written back
    dcb.BaudRate = baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (baudRate == 0 || !::SetCommState(h, &dcb))
        return failure(SerialOpenStep::Settings,
                       baudRate == 0 ? ERROR_INVALID_PARAMETER : ::GetLastError());

    device_ = std::move(device);
    path_ = path;
    return {};
}

bool SerialPort::enter(FileHandle::Native& device, FileHandle::Native& wake) {
    std::lock_guard lock(mutex_);
    if (!device_.isOpen() || closing_) return false;
    ++users_;
    device = device_.native();
    wake = FileHandle::kInvalid;
    return true;
}

bool SerialPort::close() {
    std::unique_lock lock(mutex_);
    if (!device_.isOpen()) return false;
    if (closing_) {
        idle_.wait(lock, [this] { return !device_.isOpen(); });
        return false;
    }
    closing_ = true;
    // Ends a read or write in progress on any thread; the read time-outs end it within
    // about a second where the driver does not support cancelling.
    ::CancelIoEx(handleOf(device_.native()), nullptr);
    idle_.wait(lock, [this] { return users_ == 0; });
    device_.close();
    path_.clear();
    closing_ = false;
    idle_.notify_all();
    return true;
}

SerialReadResult SerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    FileHandle::Native device = FileHandle::kInvalid;
    FileHandle::Native wake = FileHandle::kInvalid;
    if (!enter(device, wake)) return {SerialReadStatus::Closed, 0, EBADF};
    struct Leave {
        SerialPort* port;
        ~Leave() { port->leave(); }
    } leaveOnReturn{this};

    capacity = std::min(capacity, kSerialReadMax);
    if (capacity == 0) return {};
    DWORD got = 0;
    if (::ReadFile(handleOf(device), buffer, static_cast<DWORD>(capacity), &got, nullptr))
        return {SerialReadStatus::Ok, got, 0};
    const DWORD code = ::GetLastError();
    if (code == ERROR_OPERATION_ABORTED) {
        std::lock_guard lock(mutex_);
        if (closing_) return {SerialReadStatus::Closed, 0, ECANCELED};
    }
    // A serial device that disappears answers with error 5 (access denied).
    if (code == ERROR_ACCESS_DENIED || code == ERROR_DEVICE_NOT_CONNECTED ||
        code == ERROR_DEV_NOT_EXIST)
        return {SerialReadStatus::DeviceGone, 0, win::errnoFromWin32(code)};
    return {SerialReadStatus::Failed, 0, win::errnoFromWin32(code)};
}

// The port has no write time-outs: a write waits until every byte is out, or until close()
// cancels it. `timeoutMs` is not used here.
int SerialPort::write(const std::uint8_t* data, std::size_t size, int /*timeoutMs*/) {
    FileHandle::Native device = FileHandle::kInvalid;
    FileHandle::Native wake = FileHandle::kInvalid;
    if (!enter(device, wake)) return EBADF;
    struct Leave {
        SerialPort* port;
        ~Leave() { port->leave(); }
    } leaveOnReturn{this};
    std::size_t done = 0;
    while (done < size) {
        DWORD put = 0;
        if (!::WriteFile(handleOf(device), data + done, static_cast<DWORD>(size - done), &put,
                         nullptr)) {
            const DWORD code = ::GetLastError();
            return code == ERROR_OPERATION_ABORTED ? ECANCELED : win::errnoFromWin32(code);
        }
        if (put == 0) return EIO;
        done += put;
    }
    return 0;
}

}  // namespace nimbrel
