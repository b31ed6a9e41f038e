// A file written whole or not at all: the bytes go to a new file beside the target, which
// replaces the target only when everything was written and flushed. A failed, interrupted
// or concurrent writer therefore never leaves a half-written or mixed file: the target is
// either the old file or one writer's complete output.
#pragma once

#include <string>

#include "platform/file_handle.h"

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
    bool isOpen() const { return file_.isOpen(); }
    // Where the bytes go until commit().
    FileHandle& file() { return file_; }

    // Flushes the new file to the disk and puts it in the target's place (keeping the old
    // file's permissions). 0 on success, else the errno value; on failure the target
    // stays as it was and the new file is removed.
    int commit();
    // Removes the new file; the target stays as it was.
    void abandon();

private:
    FileHandle file_;
    bool inPlace_ = false;
    std::string target_;
    std::string temp_;
};

}  // namespace nimbrel
