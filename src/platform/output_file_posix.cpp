// The POSIX side of output files: identity of two paths and the end of a pipe's reader.
#include <poll.h>
#include <sys/stat.h>

#include "platform/output_file.h"

namespace nimbrel {

bool isSameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool OutputFile::readerGone() const {
    if (!file_.isOpen()) return false;
    // The write end of a pipe without readers polls as an error.
    pollfd p{static_cast<int>(file_.native()), 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0;
}

}  // namespace nimbrel
