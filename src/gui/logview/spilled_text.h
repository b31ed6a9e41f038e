// The UTF-8 text of the log view's lines: one append-only byte sequence kept in chunks of
// 1 MiB. Chunks that fill up are written to a scratch file by a writer thread and dropped
// from memory; reading them back goes through a small cache of recently read chunks. The
// scratch file lies in the user's cache folder and has no name from the moment it exists,
// so a crash leaves nothing behind.
//
// When the scratch file cannot be created or written (an unwritable folder, a full disk, a
// file-size limit), the text stays in memory from then on and nothing is lost; once that
// memory reaches its limit too, the text is full() and takes no more bytes until clear().
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_handle.h"

namespace nimbrel::gui {

// The user's cache folder for scratch files: $XDG_CACHE_HOME/nimbrel, else
// ~/.cache/nimbrel.
std::string scratchFolder();

class SpilledText {
public:
    struct Limits {
        std::size_t chunkBytes = std::size_t(1) << 20;
        // Full chunks waiting for the writer before the text says it is full for a while.
        std::size_t pendingChunks = 48;
        // Text kept in memory when the scratch file fails.
        std::uint64_t memoryBytes = std::uint64_t(2) << 30;
        // Chunks read back and kept.
        std::size_t cachedChunks = 24;
    };

    // What happened to the scratch file that the user should hear about once.
    enum class Event { None, KeptInMemory, Full };

    explicit SpilledText(std::string folder = scratchFolder());
    explicit SpilledText(std::string folder, Limits limits);
    ~SpilledText();
    SpilledText(const SpilledText&) = delete;
    SpilledText& operator=(const SpilledText&) = delete;

    // ---- The owner's thread ----
    std::uint64_t size() const { return size_; }
    void append(const char* bytes, std::size_t n);
    // Room for `n` contiguous bytes at the end, or null when the open chunk lacks it;
    // commit() then adds the bytes written there.
    char* tailRoom(std::size_t n);
    void commit(std::size_t n);
    // Copies [offset, offset + n) to `out`; false when part of it could not be read back.
    bool read(std::uint64_t offset, std::size_t n, char* out);
    // The bytes [offset, offset + n) when they lie in one chunk, else null; valid until
    // the next call on this object.
    const char* bytesAt(std::uint64_t offset, std::size_t n);
    // True while the text takes no more bytes: the writer is behind (for a moment), or the
    // scratch file failed and the memory limit is reached (until clear).
    bool full();
    // The next event to report (each is reported once), and the errno behind it.
    Event takeEvent(int& error);
    // Bytes held in memory (chunks not written or read back) and written to disk.
    std::uint64_t memoryBytes() const;
    std::uint64_t diskBytes() const { return writtenChunks_ * chunkBytes_; }
    bool keptInMemory() const { return memoryOnly_; }

    // ---- Any thread, through a snapshot taken on the owner's thread ----
    class Reader {
    public:
        Reader() = default;
        std::uint64_t size() const { return size_; }
        bool read(std::uint64_t offset, std::size_t n, char* out) const;

    private:
        friend class SpilledText;
        std::shared_ptr<const FileHandle> fd_;
        std::vector<std::shared_ptr<const char[]>> chunks_;  // null: read from fd_
        std::uint64_t size_ = 0;
        std::size_t chunkBytes_ = 1;
    };
    Reader reader();

private:
    struct Chunk {
        std::shared_ptr<char[]> data;
        bool onDisk = false;
    };
    struct Job {
        std::size_t index;
        std::shared_ptr<char[]> data;
    };

    void sealOpenChunk();
    void startWriter();
    void writerLoop();
    void collectWrites();
    const char* chunkData(std::size_t index);
    void touch(std::size_t index);

    const std::string folder_;
    const Limits limits_;
    const std::size_t chunkBytes_;
    std::vector<Chunk> chunks_;
    std::uint64_t size_ = 0;
    std::size_t writtenChunks_ = 0;
    std::size_t queuedChunks_ = 0;  // handed to the writer, not yet confirmed
    bool memoryOnly_ = false;
    bool triedFile_ = false;
    bool fullReported_ = false;
    Event event_ = Event::None;
    int eventError_ = 0;
    std::vector<std::size_t> cache_;  // read-back chunks, least recently used first
    std::string scratch_;             // a line that crosses chunks

    std::shared_ptr<FileHandle> fd_;
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Job> jobs_;                // guarded by mutex_
    std::vector<std::size_t> written_;     // guarded by mutex_
    int writeError_ = 0;                   // guarded by mutex_
    bool stopWriter_ = false;              // guarded by mutex_
    std::atomic<bool> writesDone_{false};  // something waits in written_ or writeError_
};

}  // namespace nimbrel::gui
