#include "support/lonely_fifo.h"

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel::test {

LonelyFifo::LonelyFifo(std::string path, int graceMs) : path_(std::move(path)) {
    ::unlink(path_.c_str());
    ::mkfifo(path_.c_str(), 0600);
    releaser_ = std::thread([this, graceMs] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
        while (!done_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (std::chrono::steady_clock::now() < until) continue;
            // Succeeds only while a reader has the FIFO open (ENXIO otherwise).
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                released_.store(true);
                ::close(fd);
            }
        }
    });
}

LonelyFifo::~LonelyFifo() {
    done_.store(true);
    releaser_.join();
    ::unlink(path_.c_str());
}

}  // namespace nimbrel::test
