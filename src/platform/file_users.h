// Which processes have a file open (the holder of a busy serial port), for messages.
#pragma once

#include <string>
#include <vector>

namespace nimbrel {

struct FileUser {
    int pid = 0;
    std::string name;  // the program's name as the system reports it
};

// The processes that hold an advisory lock on `path` (a serial port's owner locks it), or
// when none does, the processes that have it open; found through /proc, empty when none is
// visible (processes of other users stay hidden to an unprivileged caller).
std::vector<FileUser> processesUsing(const std::string& path);

}  // namespace nimbrel
