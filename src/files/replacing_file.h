// A file written whole or not at all: the bytes go to a new file beside the target, which
// replaces the target only when everything was written and flushed. A failed, interrupted
// or concurrent writer therefore never leaves a half-written or mixed file: the target is
// either the old file or one writer's complete output.
#pragma once

#include <string>

namespace nimbrel {

class ReplacingFile {
public:
    ReplacingFile() = default;
    // Abandons the new file unless commit() succeeded.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the new file beside `path` (a symbolic link is followed, so that the file it
    // points at is replaced, not the link). A target that exists and is no regular file (a
    // device such as /dev/null, a FIFO) cannot be replaced: it is opened and written in
    // place. 0 on success, else the errno value.
    int open(const std::string& path);
    // Where the bytes go until commit(); -1 when not open.
    int fd() const { return fd_; }

    // Flushes the new file to the disk and puts it in the target's place, keeping the old
    // file's permissions (a new target gets the usual ones). 0 on success, else the errno
    // value; on failure the target stays as it was and the new file is removed.
    int commit();
    // Removes the new file; the target stays as it was.
    void abandon();

private:
    int fd_ = -1;
    bool inPlace_ = false;
    std::string target_;
    std::string temp_;
};

}  // namespace nimbrel
