#include "platform/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace nimbrel {

PseudoTerminal::~PseudoTerminal() { close(); }

int PseudoTerminal::open() {
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return errno;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const int err = errno;
        ::close(master);
        return err;
    }
    // Terminal settings given to the master apply to the slave's line discipline: raw mode
    // keeps CR, ^C, XON/XOFF and the rest from being translated or acted upon.
    termios t{};
    if (::tcgetattr(master, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
    }
    const int flags = ::fcntl(master, F_GETFL);
    if (flags >= 0) ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    master_ = master;
    slavePath_ = name;
    return 0;
}

int PseudoTerminal::holdSlave() {
    if (master_ < 0) return EBADF;
    if (heldSlave_ >= 0) return 0;
    const int fd = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    heldSlave_ = fd;
    return 0;
}

std::size_t PseudoTerminal::unreadBytes() const {
    if (heldSlave_ < 0) return 0;
    int waiting = 0;
    if (::ioctl(heldSlave_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
    return static_cast<std::size_t>(waiting);
}

void PseudoTerminal::closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PseudoTerminal::close() {
    closeMaster();
    if (heldSlave_ >= 0) ::close(heldSlave_);
    heldSlave_ = -1;
    slavePath_.clear();
}

}  // namespace nimbrel
