// A FIFO that nothing writes to, for the tests of programs that must refuse it rather than
// wait in open() for a writer. So that a program that does wait makes the test fail
// instead of hanging it, the FIFO is opened for writing (and closed again) after a grace
// period, which lets such a reader go on to the end of an empty stream.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace nimbrel::test {

class LonelyFifo {
public:
    explicit LonelyFifo(std::string path, int graceMs = 5000);
    ~LonelyFifo();
    LonelyFifo(const LonelyFifo&) = delete;
    LonelyFifo& operator=(const LonelyFifo&) = delete;

    const std::string& path() const { return path_; }
    // True when a reader had to be released: it waited for a writer.
    bool releasedAReader() const { return released_.load(); }

private:
    std::string path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> released_{false};
    std::thread releaser_;
};

}  // namespace nimbrel::test
