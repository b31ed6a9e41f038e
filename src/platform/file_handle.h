// The one owner of an open file, and the one place where files are read and written
// through the system's calls. The handle is the platform's own (a descriptor on POSIX, a
// HANDLE on Windows), kept opaque here; reads and writes retry interrupted calls and
// writes go on until every byte is out, so callers never loop themselves.
//
// Paths are UTF-8 text (see platform/path.h). Errors are errno values on every platform
// (the Windows backend maps its error codes to them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nimbrel {

enum class FileMode {
    Read,           // existing file, read only; never waits for the writer of a FIFO
    WriteTruncate,  // created or emptied, write only
    Append,         // created if missing, every write at the end (shared for reading)
    CreateNew,      // a new file that must not exist yet, write only
};

struct IoResult {
    std::size_t count = 0;  // bytes transferred; 0 with error 0 means end of file
    int error = 0;
    bool ok() const { return error == 0; }
};

class FileHandle {
public:
    using Native = std::intptr_t;
    static constexpr Native kInvalid = -1;

    FileHandle() = default;
    // Takes ownership of an open native handle (kInvalid: none).
    explicit FileHandle(Native native, bool owned = true) : native_(native), owned_(owned) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // The process's standard output, borrowed: closing the object leaves it open.
    static FileHandle standardOutput();

    // Opens `path`; 0 or the errno value. An open handle is closed first.
    int open(const std::string& path, FileMode mode);
    bool isOpen() const { return native_ != kInvalid; }

    // Up to `size` bytes from the current position.
    IoResult readSome(void* buffer, std::size_t size);
    // Up to `size` bytes from `offset`, leaving the current position alone where the
    // platform allows.
    IoResult readAt(std::uint64_t offset, void* buffer, std::size_t size);
    // `size` bytes from `offset`, fewer only where the file ends or a read fails: the bytes
    // read. The current position is left alone, so several threads may read at once.
    std::size_t readFullyAt(std::uint64_t offset, void* buffer, std::size_t size) const;
    // Every byte at `offset`, or the errno value (ENOSPC when the device takes no more).
    int writeAllAt(std::uint64_t offset, const void* data, std::size_t size);
    // The file will be read from start to end (a larger read-ahead where the platform
    // takes the hint).
    void adviseSequential();
    // Every byte, or the errno value of the write that failed.
    int writeAll(const void* data, std::size_t size);
    // The size of the open file; 0 or the errno value.
    int size(std::uint64_t& bytes) const;
    // Hands written data to the storage device; 0 or the errno value.
    int flushToDisk();
    // Closes an owned handle (a borrowed one is only let go). 0 or the errno value of the
    // close, which may report a delayed write error.
    int close();

    // For the platform layer's own backends (poll, termios, overlapped I/O).
    Native native() const { return native_; }
    Native release();

private:
    Native native_ = kInvalid;
    bool owned_ = true;
};

// Fifo: a named pipe, or a shell's pipe such as <(cat file); Other: a device, a socket.
enum class FileKind { Missing, Regular, Folder, Fifo, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
    int error = 0;  // why kind is Missing (ENOENT when it does not exist)
};

// What `path` names, following symbolic links.
FileStatus fileStatus(const std::string& path);

// What openRegularFileForReading gives for a path that is neither a regular file nor a
// folder (a FIFO, a device such as /dev/zero, a socket). Not an errno value.
inline constexpr int kNotARegularFile = -1;
// Opens a regular file for reading: 0 and its handle and size, or EISDIR for a folder,
// kNotARegularFile for anything else that is not a regular file (a FIFO is not waited
// for), or the errno value.
int openRegularFileForReading(const std::string& path, FileHandle& file, std::uint64_t& size);
// The reason in words for a failure of these functions: "not a regular file" for
// kNotARegularFile, the system's text for an errno value.
std::string fileErrorText(int error);
// Reads a whole regular file of at most `limit` bytes; 0, EFBIG for a larger file, or the
// errno value.
int readWholeFile(const std::string& path, std::size_t limit, std::string& bytes);
// 0 when the file can be opened for reading, else the errno value.
int checkReadable(const std::string& path);
// 0 when new files can be made in `folder`, else the errno value.
int checkWritableFolder(const std::string& folder);
// Deletes a file; 0 or the errno value (ENOENT when it was not there).
int removeFile(const std::string& path);
// A new, empty file beside `target` that is to replace it (through replaceFile): a hidden
// name of its own, and the permissions of the file it replaces (the usual ones when there
// is none yet). 0 and the open file and its path, or the errno value.
int createReplacementFile(const std::string& target, FileHandle& file, std::string& tempPath);
// A scratch file for reading and writing in `folder` (made, with its parents, when
// missing) that has no name or loses it at once, so it vanishes when it is closed, even
// when the program ends abruptly. 0 and the open file, or the errno value.
int createScratchFile(const std::string& folder, FileHandle& file);
// Renames `from` to `to`, replacing a file of that name; 0 or the errno value.
int replaceFile(const std::string& from, const std::string& to);
// Renames `from` to `to` unless a file of that name exists (EEXIST); 0 or the errno value.
int renameNoReplace(const std::string& from, const std::string& to);
// Cuts a file to `size` bytes; 0 or the errno value.
int truncateFile(const std::string& path, std::uint64_t size);
// The file a symbolic link points at, else `path` itself.
std::string resolvedFilePath(const std::string& path);
// True when both paths name the same existing file (through a link or not).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace nimbrel
