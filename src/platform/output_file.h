// A file written from start to end: an export, or the FIFO of a live capture.
#pragma once

#include <cstddef>
#include <string>

#include "platform/file_handle.h"

namespace nimbrel {

// The files at `a` and `b` are one file (through any link).
bool isSameFile(const std::string& a, const std::string& b);

class OutputFile {
public:
    OutputFile() = default;
    // Discards a file that was created and not committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares to write `path` whole. A regular file (new or existing) is written under a
    // temporary name in its folder and appears at `path` only on commit, so that a failed
    // or abandoned write leaves the previous file, or nothing, behind. Anything else that
    // exists at `path` (a FIFO, a terminal, /dev/stdout) is written directly. 0 on
    // success, else the errno value.
    int create(const std::string& path);
    // Opens an existing file or FIFO for writing as it is (a FIFO waits for its reader).
    // 0 on success, else the errno value.
    int openExisting(const std::string& path);

    // Writes all bytes: 0, else the errno value (EPIPE when the reader of a FIFO has gone;
    // the caller ignores SIGPIPE where there is one).
    int write(const void* data, std::size_t size) { return file_.writeAll(data, size); }
    // Makes a created file appear at its path (after flushing it to the disk), or closes a
    // file written directly. 0 on success, else the errno value; after a failure nothing is
    // left under the temporary name.
    int commit();
    // Closes the file, removing a created file that was not committed.
    void discard();

    bool isOpen() const { return file_.isOpen(); }
    // A file opened with openExisting is a pipe or FIFO whose reader has closed it, so that
    // the next write would fail with EPIPE. Does not block. (Always false where the
    // platform cannot tell.)
    bool readerGone() const;

private:
    FileHandle file_;
    std::string temporary_;  // empty when writing directly
    std::string target_;
};

}  // namespace nimbrel
