// Driver devices on Windows: the overlapped request procedure. Each request gets its own
// manual-reset event and overlapped record, is issued with DeviceIoControl and, when it is
// pending, waited for without a time-out (or until its caller's deadline, which then
// closes the device); GetOverlappedResult then gives the reply's length. close() wakes
// every pending request, which cancels itself (CancelIoEx), and closes the device
// (CloseHandle) once the requests have left it. A request the driver does not give back
// within one second of the cancel is abandoned with its buffers, which the driver may
// still write, so that no stop waits for it longer.
#include "platform/control_device_win.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "platform/control_device.h"
#include "platform/win_util.h"

namespace nimbrel {
namespace win {
namespace {

std::atomic<const DeviceCalls*> g_calls{nullptr};

}  // namespace

const DeviceCalls& systemDeviceCalls() {
    static const DeviceCalls calls{::CreateFileW, ::DeviceIoControl, ::GetOverlappedResult,
                                   ::CancelIoEx, ::CloseHandle};
    return calls;
}

void setDeviceCalls(const DeviceCalls* calls) { g_calls.store(calls); }

}  // namespace win

namespace {

constexpr DWORD kAbandonAfterMs = 1000;

// What one request owns while the driver may use it. Freed when the request ends, or
// left to the driver when it never gives the request back.
struct PendingRequest {
    OVERLAPPED overlapped{};
    std::uint32_t inputSize = 0;
    std::uint32_t outputSize = 0;
    unsigned char* input() { return reinterpret_cast<unsigned char*>(this + 1); }
    unsigned char* output() { return input() + inputSize; }

    static PendingRequest* make(std::uint32_t inputSize, std::uint32_t outputSize) {
        void* memory =
            ::operator new(sizeof(PendingRequest) + inputSize + outputSize, std::nothrow);
        if (!memory) return nullptr;
        auto* r = new (memory) PendingRequest;
        r->inputSize = inputSize;
        r->outputSize = outputSize;
        return r;
    }
    static void free(PendingRequest* r) {
        if (!r) return;
        if (r->overlapped.hEvent) ::CloseHandle(r->overlapped.hEvent);
        r->~PendingRequest();
        ::operator delete(r);
    }
};

}  // namespace

std::string controlDevicePath(std::string_view deviceName) {
    if (deviceName == kFilterDeviceName) return "\\\\.\\BtFilter";
    if (deviceName == kUartDeviceName)
        return "\\\\.\\CorvaneUartBus\\CorvaneSocket.CorvaneInitSocketModule";
    return "\\\\.\\" + std::string(deviceName);
}

struct ControlDevice::Impl {
    const win::DeviceCalls* calls = &win::systemDeviceCalls();
    mutable std::mutex mutex;
    std::condition_variable idle;
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE closingEvent = nullptr;  // set by close(): pending requests cancel themselves
    int users = 0;
    bool closing = false;
    int closeReason = ECANCELED;  // what close() ends pending requests with

    // One request; `timedOut` tells that `closeAt` passed first (the caller then closes
    // the device, once this request has left it).
    ControlResult request(std::uint32_t code, const void* input, std::uint32_t inputSize,
                          void* output, std::uint32_t outputSize, Deadline closeAt, bool& timedOut);
};

ControlDevice::ControlDevice() : impl_(std::make_unique<Impl>()) {}
ControlDevice::~ControlDevice() { close(); }

int ControlDevice::open(std::string_view deviceName) {
    std::unique_lock lock(impl_->mutex);
    impl_->idle.wait(lock, [this] { return !impl_->closing; });
    if (impl_->handle != INVALID_HANDLE_VALUE) return EISCONN;
    const win::DeviceCalls* calls = win::g_calls.load();
    impl_->calls = calls ? calls : &win::systemDeviceCalls();
    // Read and write, shared for reading and writing, existing only, overlapped I/O.
    const HANDLE h = impl_->calls->createFile(
        win::widen(controlDevicePath(deviceName)).c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return win::lastErrno();
    impl_->closingEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!impl_->closingEvent) {
        const int err = win::lastErrno();
        impl_->calls->closeHandle(h);
        return err;
    }
    impl_->handle = h;
    return 0;
}

bool ControlDevice::isOpen() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->handle != INVALID_HANDLE_VALUE && !impl_->closing;
}

ControlResult ControlDevice::control(std::uint32_t code, const void* input, std::uint32_t inputSize,
                                     void* output, std::uint32_t outputSize, Deadline closeAt) {
    bool timedOut = false;
    ControlResult result =
        impl_->request(code, input, inputSize, output, outputSize, closeAt, timedOut);
    // Out of time: the device is closed, which ends every other pending request too.
    if (timedOut) close(ETIMEDOUT);
    return result;
}

ControlResult ControlDevice::Impl::request(std::uint32_t code, const void* input,
                                           std::uint32_t inputSize, void* output,
                                           std::uint32_t outputSize, Deadline closeAt,
                                           bool& timedOut) {
    HANDLE h;
    HANDLE closed;
    const win::DeviceCalls* api;
    {
        std::lock_guard lock(mutex);
        if (handle == INVALID_HANDLE_VALUE || closing) return {EBADF, 0};
        ++users;
        h = handle;
        closed = closingEvent;
        api = calls;
    }
    struct Leave {
        Impl* impl;
        ~Leave() {
            std::lock_guard lock(impl->mutex);
            if (--impl->users == 0) impl->idle.notify_all();
        }
    } leave{this};

    PendingRequest* request = PendingRequest::make(inputSize, outputSize);
    if (!request) return {ENOMEM, 0};
    request->overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!request->overlapped.hEvent) {
        const int err = win::lastErrno();
        PendingRequest::free(request);
        return {err, 0};
    }
    if (inputSize > 0) std::memcpy(request->input(), input, inputSize);

    DWORD returned = 0;
    BOOL done = api->deviceIoControl(h, code, request->input(), inputSize, request->output(),
                                     outputSize, &returned, &request->overlapped);
    DWORD failure = done ? ERROR_SUCCESS : ::GetLastError();
    if (!done && failure == ERROR_IO_PENDING) {
        const HANDLE events[2] = {request->overlapped.hEvent, closed};
        DWORD wait = INFINITE;
        if (closeAt != kNoDeadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                                  closeAt - std::chrono::steady_clock::now())
                                  .count();
            wait = left <= 0 ? 0 : static_cast<DWORD>(left > 3600000 ? 3600000 : left);
        }
        const DWORD woke = ::WaitForMultipleObjects(2, events, FALSE, wait);
        if (woke == WAIT_TIMEOUT) timedOut = true;
        if (woke != WAIT_OBJECT_0) {
            // The device is closing (or the wait failed): cancel, and give the driver a
            // second to give the request back. A reply that came meanwhile still counts.
            api->cancelIoEx(h, &request->overlapped);
            if (::WaitForSingleObject(request->overlapped.hEvent, kAbandonAfterMs) !=
                WAIT_OBJECT_0) {
                // Abandoned to the driver with its buffers.
                if (timedOut) return {ETIMEDOUT, 0};
                std::lock_guard lock(mutex);
                return {closeReason, 0};
            }
        }
        done = api->getOverlappedResult(h, &request->overlapped, &returned, TRUE);
        failure = done ? ERROR_SUCCESS : ::GetLastError();
        if (done) timedOut = false;  // the reply came after all
    }
    ControlResult result;
    if (done) {
        result.returned = returned < outputSize ? returned : outputSize;
        if (result.returned > 0) std::memcpy(output, request->output(), result.returned);
    } else {
        bool wasClosing;
        int reason;
        {
            std::lock_guard lock(mutex);
            wasClosing = closing;
            reason = closeReason;
        }
        if (timedOut) {
            result.error = ETIMEDOUT;
        } else if (wasClosing || failure == ERROR_OPERATION_ABORTED) {
            result.error = wasClosing ? reason : ECANCELED;
        } else {
            result.error = win::errnoFromWin32(failure);
        }
    }
    PendingRequest::free(request);
    return result;
}

bool ControlDevice::close(int reason) {
    std::unique_lock lock(impl_->mutex);
    if (impl_->handle == INVALID_HANDLE_VALUE) return false;
    if (impl_->closing) {
        impl_->idle.wait(lock, [this] { return impl_->handle == INVALID_HANDLE_VALUE; });
        return false;
    }
    impl_->closing = true;
    impl_->closeReason = reason;
    // Every pending request cancels itself and leaves within about a second.
    ::SetEvent(impl_->closingEvent);
    impl_->idle.wait(lock, [this] { return impl_->users == 0; });
    impl_->calls->closeHandle(impl_->handle);
    ::CloseHandle(impl_->closingEvent);
    impl_->closingEvent = nullptr;
    impl_->handle = INVALID_HANDLE_VALUE;
    impl_->closing = false;
    impl_->closeReason = ECANCELED;
    impl_->idle.notify_all();
    return true;
}

}  // namespace nimbrel
