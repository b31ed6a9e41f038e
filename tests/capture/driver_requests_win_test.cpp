// The driver routes' requests on Windows, against a test double of the Win32 calls: what
// reaches DeviceIoControl (device path, control codes, buffers) and how replies, pending
// requests and a close during a pending request are handled.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/driver_requests.h"
#include "platform/control_device_win.h"

namespace nimbrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One driver behind the double. Replies are queued per kind of request; a read with
// nothing queued stays pending until complete() or a cancel ends it.
struct FakeDriver {
    struct Request {
        std::wstring path;
        DWORD code = 0;
        Bytes input;
        DWORD outputSize = 0;
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::wstring> opened;
    std::vector<Request> requests;
    std::vector<Bytes> setLogReplies;
    std::vector<Bytes> readReplies;
    // The pending read: its overlapped record and output buffer.
    LPOVERLAPPED pending = nullptr;
    void* pendingOutput = nullptr;
    DWORD pendingReturned = 0;
    bool pendingCancelled = false;
    int closes = 0;
    bool ignoreCancel = false;
    bool silentSetLog = false;  // set-log requests stay pending like reads

    static FakeDriver* current;
    static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x4242});

    static HANDLE WINAPI createFile(LPCWSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                    DWORD flags, HANDLE) {
        std::lock_guard lock(current->mutex);
        if (!(flags & FILE_FLAG_OVERLAPPED)) return INVALID_HANDLE_VALUE;
        current->opened.emplace_back(path);
        return kHandle;
    }

    static BOOL WINAPI deviceIoControl(HANDLE, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                       DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
        FakeDriver& d = *current;
        std::lock_guard lock(d.mutex);
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        d.requests.push_back({d.opened.empty() ? L"" : d.opened.back(), code,
                              Bytes(bytes, bytes + inSize), outSize});
        d.changed.notify_all();
        const bool read = code == IOCTL_BTFILTER_READ_LOG || code == IOCTL_UARTBUS_READ_LOG;
        std::vector<Bytes>& queue = read ? d.readReplies : d.setLogReplies;
        // Set-log requests the test did not script succeed; reads wait for data.
        if (!read && queue.empty() && !d.silentSetLog) queue.push_back({0});
        if (queue.empty()) {
            d.pending = overlapped;
            d.pendingOutput = out;
            d.pendingCancelled = false;
            ::SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        const Bytes reply = queue.front();
        queue.erase(queue.begin());
        std::memcpy(out, reply.data(), std::min<std::size_t>(reply.size(), outSize));
        *returned = static_cast<DWORD>(reply.size());
        return TRUE;
    }

    static BOOL WINAPI getOverlappedResult(HANDLE, LPOVERLAPPED, LPDWORD returned, BOOL) {
        std::lock_guard lock(current->mutex);
        if (current->pendingCancelled) {
            ::SetLastError(ERROR_OPERATION_ABORTED);
            return FALSE;
        }
        *returned = current->pendingReturned;
        return TRUE;
    }

    static BOOL WINAPI cancelIoEx(HANDLE, LPOVERLAPPED) {
        FakeDriver& d = *current;
        std::lock_guard lock(d.mutex);
        if (d.pending && !d.ignoreCancel) {
            d.pendingCancelled = true;
            ::SetEvent(d.pending->hEvent);
            d.pending = nullptr;
        }
        return TRUE;
    }

    static BOOL WINAPI closeHandle(HANDLE) {
        std::lock_guard lock(current->mutex);
        ++current->closes;
        return TRUE;
    }

    // Completes the pending read with `reply`.
    void complete(const Bytes& reply) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return pending != nullptr; });
        std::memcpy(pendingOutput, reply.data(), reply.size());
        pendingReturned = static_cast<DWORD>(reply.size());
        ::SetEvent(pending->hEvent);
        pending = nullptr;
    }

    bool waitForPending() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [this] { return pending; });
    }
};
FakeDriver* FakeDriver::current = nullptr;

const win::DeviceCalls kFakeCalls{FakeDriver::createFile, FakeDriver::deviceIoControl,
                                  FakeDriver::getOverlappedResult, FakeDriver::cancelIoEx,
                                  FakeDriver::closeHandle};

class DriverRequestsWin : public ::testing::Test {
protected:
    void SetUp() override {
        FakeDriver::current = &driver;
        win::setDeviceCalls(&kFakeCalls);
    }
    void TearDown() override {
        filterDriver().disableLog();
        uartDriver().disableLog();
        win::setDeviceCalls(nullptr);
        FakeDriver::current = nullptr;
    }
    FakeDriver driver;
};

// A read reply: status, length n (data bytes + 1), the data and the driver's zero.
Bytes readReply(std::uint8_t status, const Bytes& data) {
    const std::size_t n = data.size() + 1;
    Bytes r(3 + n, 0);
    r[0] = status;
    r[1] = static_cast<std::uint8_t>(n & 0xFF);
    r[2] = static_cast<std::uint8_t>(n >> 8);
    std::copy(data.begin(), data.end(), r.begin() + 3);
    return r;
}

TEST_F(DriverRequestsWin, BothDriversGetTheirDevicePathCodesAndRequestBytes) {
    struct Case {
        DriverDevice& device;
        const wchar_t* path;
        DWORD setLog;
        DWORD readLog;
    };
    const Case cases[] = {
        {filterDriver(), L"\\\\.\\BtFilter", 0x00222818, 0x0022281C},
        {uartDriver(), L"\\\\.\\CorvaneUartBus\\CorvaneSocket.CorvaneInitSocketModule", 0x00222844,
         0x00222848},
    };
    for (const Case& c : cases) {
        driver.requests.clear();
        driver.setLogReplies = {{0}, {0}, {1}};
        driver.readReplies = {readReply(0, {0xA5, 0xA5, 0x01})};
        EXPECT_TRUE(c.device.enableLog(1));
        EXPECT_TRUE(c.device.enableLog(0));
        ReadLogReply reply;
        const ReadLogResult r = c.device.readLog(reply);
        EXPECT_TRUE(r.counted);
        // The driver's terminating zero is not part of the log.
        ASSERT_EQ(r.dataSize, 3u);
        EXPECT_EQ(Bytes(reply.begin() + 3, reply.begin() + 6), (Bytes{0xA5, 0xA5, 0x01}));
        EXPECT_TRUE(c.device.disableLog());
        EXPECT_FALSE(c.device.isOpen());

        ASSERT_EQ(driver.requests.size(), 4u);
        EXPECT_EQ(driver.requests[0].path, c.path);
        EXPECT_EQ(driver.requests[0].code, c.setLog);
        EXPECT_EQ(driver.requests[0].input, (Bytes{0x01, 0x23, 0x01, 0x01}));
        EXPECT_EQ(driver.requests[0].outputSize, 1u);
        EXPECT_EQ(driver.requests[1].input, (Bytes{0x01, 0x23, 0x01, 0x00}));
        EXPECT_EQ(driver.requests[2].code, c.readLog);
        EXPECT_EQ(driver.requests[2].input.size(), 1u);
        EXPECT_EQ(driver.requests[2].outputSize, 1027u);
        EXPECT_EQ(driver.requests[3].code, c.setLog);
        EXPECT_EQ(driver.requests[3].input, (Bytes{0x00}));  // the stop form
    }
}

TEST_F(DriverRequestsWin, RepliesCountOnlyWithStatusZeroAndAByte) {
    struct Case {
        const char* what;
        Bytes setLogReply;
        bool enabled;
    };
    const Case cases[] = {
        {"status 0", {0}, true},
        {"status 1", {1}, false},
        {"no byte returned", {}, false},
    };
    for (const Case& c : cases) {
        driver.setLogReplies = {c.setLogReply};
        EXPECT_EQ(filterDriver().enableLog(1), c.enabled) << c.what;
    }
    struct ReadCase {
        const char* what;
        Bytes reply;
        bool counted;
        std::size_t data;
    };
    const ReadCase reads[] = {
        {"status 1 carries nothing", readReply(1, {7, 8}), false, 0},
        {"n = 0 carries nothing", {0, 0, 0}, true, 0},
        {"n above 1025 carries nothing", {0, 0x02, 0x04}, true, 0},
        {"n larger than what came back", {0, 10, 0, 5, 6}, true, 2},
        {"full data area", readReply(0, Bytes(1023, 0x5A)), true, 1023},
    };
    for (const ReadCase& r : reads) {
        driver.readReplies = {r.reply};
        ReadLogReply reply;
        const ReadLogResult got = filterDriver().readLog(reply);
        EXPECT_EQ(got.counted, r.counted) << r.what;
        EXPECT_EQ(got.dataSize, r.data) << r.what;
    }
}

TEST_F(DriverRequestsWin, APendingReadCompletesLater) {
    driver.setLogReplies = {{0}};
    ASSERT_TRUE(filterDriver().enableLog(1));
    std::thread later([this] {
        ASSERT_TRUE(driver.waitForPending());
        driver.complete(readReply(0, {1, 2, 3, 4}));
    });
    ReadLogReply reply;
    const ReadLogResult r = filterDriver().readLog(reply);
    later.join();
    EXPECT_TRUE(r.counted);
    EXPECT_EQ(r.dataSize, 4u);
    EXPECT_EQ(reply[6], 4);
}

// Stopping ends a read the driver never answers: the pending request is cancelled and the
// device closed within a second, also when the driver ignores the cancel.
TEST_F(DriverRequestsWin, ClosingEndsAPendingReadWithinASecond) {
    for (const bool ignoreCancel : {false, true}) {
        driver.ignoreCancel = ignoreCancel;
        driver.setLogReplies = {{0}, {0}};
        ASSERT_TRUE(filterDriver().enableLog(1));
        ReadLogResult r{true, 1};
        std::thread reader([&] {
            ReadLogReply reply;
            r = filterDriver().readLog(reply);
        });
        ASSERT_TRUE(driver.waitForPending());
        const auto start = std::chrono::steady_clock::now();
        const int closesBefore = driver.closes;
        filterDriver().disableLog();
        reader.join();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, std::chrono::milliseconds(1500)) << "ignoreCancel " << ignoreCancel;
        EXPECT_FALSE(r.counted);
        EXPECT_EQ(driver.closes, closesBefore + 1);
        EXPECT_FALSE(filterDriver().isOpen());
        std::lock_guard lock(driver.mutex);
        driver.pending = nullptr;
    }
}

// A stop whose off form the driver never answers: the device is closed at the stop's
// deadline, which ends the request, and the next stop does not wait again.
TEST_F(DriverRequestsWin, AStopTheDriverDoesNotAnswerClosesTheDeviceAtItsDeadline) {
    driver.setLogReplies = {{0}};
    filterDriver().resetFaults();
    ASSERT_TRUE(filterDriver().enableLog(1));
    driver.silentSetLog = true;
    const int closesBefore = driver.closes;
    const auto start = std::chrono::steady_clock::now();
    filterDriver().stopLogging();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, kDriverStopWait);
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(driver.closes, closesBefore + 1);
    EXPECT_FALSE(filterDriver().isOpen());
    EXPECT_TRUE(filterDriver().stopTimedOut());

    const auto again = std::chrono::steady_clock::now();
    filterDriver().stopLogging();
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(200));
    std::lock_guard lock(driver.mutex);
    driver.pending = nullptr;
}

}  // namespace
}  // namespace nimbrel
