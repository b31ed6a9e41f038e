// A pseudo-terminal pair: the master side stands in for a controller's UART, the slave path
// (for example /dev/pts/5) is opened like any serial port. Both sides are in raw mode, so
// every byte passes unchanged.
#pragma once

#include <cstddef>
#include <string>

namespace nimbrel {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates a new pair; the master descriptor is non-blocking. Returns 0 or an errno.
    int open();
    bool isOpen() const { return master_ >= 0; }

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Keeps one descriptor of the slave side open, so that readers may come and go without
    // hanging the master up, and so that unreadBytes() can look at the slave's queue.
    // Returns 0 or an errno.
    int holdSlave();
    // Bytes written to the master that no reader of the slave side has taken yet
    // (0 without holdSlave()).
    std::size_t unreadBytes() const;

    // Closes the master: readers of the slave side see a hang-up.
    void closeMaster();
    // Closes both sides.
    void close();

private:
    int master_ = -1;
    int heldSlave_ = -1;
    std::string slavePath_;
};

}  // namespace nimbrel
