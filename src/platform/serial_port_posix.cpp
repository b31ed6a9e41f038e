#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial_baud.h"
#include "platform/serial_port.h"

namespace nimbrel {
namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 60000 ? 60000 : static_cast<int>(left);
}

// Raw 8N1 without flow control; reads are driven by poll, so VMIN 1 / VTIME 0 only makes a
// read without data report EAGAIN instead of 0 (0 then always means a hang-up).
void makeRaw(termios& t) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

SerialOpenResult failure(SerialOpenStep step, int err) {
    return {step, err, static_cast<unsigned>(err)};
}

}  // namespace

bool isDeviceGoneError(int err) { return err == EIO || err == ENXIO || err == ENODEV; }

std::string serialDevicePath(std::string_view portName) {
    if (portName.find('/') != std::string_view::npos) return std::string(portName);
    return "/dev/" + std::string(portName);
}

SerialPort::~SerialPort() { close(); }

SerialOpenResult SerialPort::open(std::string_view portName, std::uint32_t baudRate) {
    std::unique_lock lock(mutex_);
    if (device_.isOpen() || closing_) return failure(SerialOpenStep::Open, EBUSY);
    const std::string path = serialDevicePath(portName);

    FileHandle device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!device.isOpen()) return failure(SerialOpenStep::Open, errno);
    const int fd = static_cast<int>(device.native());
    // No sharing: further opens of the device fail with EBUSY while we hold it. A device
    // that is no terminal fails at the settings step below. The superuser passes TIOCEXCL,
    // so the device is also locked the way serial terminals lock it: a second capture
    // fails here, whoever runs it.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // The handle closes the device.
        return failure(SerialOpenStep::Open, errno == EWOULDBLOCK ? EBUSY : errno);
    }

    FileHandle wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.isOpen()) return failure(SerialOpenStep::Timeouts, errno);

    termios t{};
    ::tcgetattr(fd, &t);  // a failure shows when the settings are written back
    makeRaw(t);
    int err = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        err = errno;
    } else {
        err = setSerialBaudRate(fd, baudRate);
    }
    if (err != 0) return failure(SerialOpenStep::Settings, err);

    device_ = std::move(device);
    wake_ = std::move(wake);
    path_ = path;
    return {};
}

bool SerialPort::enter(FileHandle::Native& device, FileHandle::Native& wake) {
    std::lock_guard lock(mutex_);
    if (!device_.isOpen() || closing_) return false;
    ++users_;
    device = device_.native();
    wake = wake_.native();
    return true;
}

bool SerialPort::close() {
    std::unique_lock lock(mutex_);
    if (!device_.isOpen()) return false;
    if (closing_) {
        // Another thread is closing: wait until it is done.
        idle_.wait(lock, [this] { return !device_.isOpen(); });
        return false;
    }
    closing_ = true;
    const std::uint64_t one = 1;
    wake_.writeAll(&one, sizeof one);
    idle_.wait(lock, [this] { return users_ == 0; });
    device_.close();
    wake_.close();
    path_.clear();
    closing_ = false;
    idle_.notify_all();
    return true;
}

SerialReadResult SerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    FileHandle::Native device = FileHandle::kInvalid;
    FileHandle::Native wake = FileHandle::kInvalid;
    if (!enter(device, wake)) return {SerialReadStatus::Closed, 0, EBADF};
    const int fd = static_cast<int>(device);
    const int wakeFd = static_cast<int>(wake);
    struct Leave {
        SerialPort* port;
        ~Leave() { port->leave(); }
    } leaveOnReturn{this};

    capacity = std::min(capacity, kSerialReadMax);
    if (capacity == 0) return {};
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSerialTotalPerByteMs *
                                                                       static_cast<int>(capacity) +
                                                                   kSerialTotalConstantMs);
    std::size_t got = 0;
    for (;;) {
        if (got == capacity) return {SerialReadStatus::Ok, got, 0};
        const int left = msUntil(deadline);
        if (left == 0 && got > 0) return {SerialReadStatus::Ok, got, 0};
        const int wait = got == 0 ? left : std::min(left, kSerialInterByteTimeoutMs);

        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, wait);
        if (rc < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            if (got > 0) return {SerialReadStatus::Ok, got, 0};
            return {SerialReadStatus::Failed, 0, err};
        }
        if (fds[1].revents != 0) {
            // close() asked us to leave; bytes read before it are the caller's all the same.
            if (got > 0) return {SerialReadStatus::Ok, got, 0};
            return {SerialReadStatus::Closed, 0, ECANCELED};
        }
        if (rc == 0) {
            if (got > 0 || left == 0) return {SerialReadStatus::Ok, got, 0};
            continue;
        }
        if (fds[0].revents & POLLNVAL) return {SerialReadStatus::Failed, 0, EBADF};

        const ssize_t n = ::read(fd, buffer + got, capacity - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (got > 0) return {SerialReadStatus::Ok, got, 0};
        if (n == 0) return {SerialReadStatus::DeviceGone, 0, EIO};  // hang-up
        const int err = errno;
        if (err == EAGAIN || err == EINTR) {
            // Readiness without data: a hang-up reported by poll alone, or a spurious wake-up.
            if (fds[0].revents & POLLHUP) return {SerialReadStatus::DeviceGone, 0, EIO};
            continue;
        }
        if (isDeviceGoneError(err)) return {SerialReadStatus::DeviceGone, 0, err};
        return {SerialReadStatus::Failed, 0, err};
    }
}

int SerialPort::write(const std::uint8_t* data, std::size_t size, int timeoutMs) {
    FileHandle::Native device = FileHandle::kInvalid;
    FileHandle::Native wake = FileHandle::kInvalid;
    if (!enter(device, wake)) return EBADF;
    const int fd = static_cast<int>(device);
    const int wakeFd = static_cast<int>(wake);
    struct Leave {
        SerialPort* port;
        ~Leave() { port->leave(); }
    } leaveOnReturn{this};

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int err = n < 0 ? errno : EAGAIN;
        if (err == EINTR) continue;
        if (err != EAGAIN) return err;

        int wait = -1;
        if (timeoutMs >= 0) {
            wait = msUntil(deadline);
            if (wait == 0) return ETIMEDOUT;
        }
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, wait);
        if (rc < 0 && errno != EINTR) return errno;
        if (rc > 0 && fds[1].revents != 0) return ECANCELED;
        if (rc > 0 && (fds[0].revents & POLLNVAL)) return EBADF;
        if (rc > 0 && (fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLOUT))
            return EIO;
    }
    return 0;
}

}  // namespace nimbrel
