#include "gui/logview/spilled_text.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace nimbrel::gui {

std::string scratchFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return std::string(cache) + "/nimbrel";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.cache/nimbrel";
}

SpilledText::SpilledText(std::string folder) : SpilledText(std::move(folder), Limits{}) {}

SpilledText::SpilledText(std::string folder, Limits limits)
    : folder_(std::move(folder)),
      limits_(limits),
      chunkBytes_(std::max<std::size_t>(limits.chunkBytes, 64)) {}

SpilledText::~SpilledText() {
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopWriter_ = true;
            jobs_.clear();
        }
        wake_.notify_all();
        writer_.join();
    }
}

void SpilledText::append(const char* bytes, std::size_t n) {
    while (n > 0) {
        if (chunks_.empty() || size_ % chunkBytes_ == 0) {
            if (!chunks_.empty()) sealOpenChunk();
            chunks_.push_back(Chunk{std::shared_ptr<char[]>(new char[chunkBytes_]), false});
        }
        const std::size_t at = static_cast<std::size_t>(size_ % chunkBytes_);
        const std::size_t take = std::min(n, chunkBytes_ - at);
        std::memcpy(chunks_.back().data.get() + at, bytes, take);
        size_ += take;
        bytes += take;
        n -= take;
    }
}

char* SpilledText::tailRoom(std::size_t n) {
    if (chunks_.empty() || size_ % chunkBytes_ == 0) return nullptr;
    const std::size_t at = static_cast<std::size_t>(size_ % chunkBytes_);
    return chunkBytes_ - at >= n ? chunks_.back().data.get() + at : nullptr;
}

void SpilledText::commit(std::size_t n) { size_ += n; }

void SpilledText::sealOpenChunk() {
    // The chunk before the new one is full: it goes to the scratch file.
    collectWrites();
    const std::size_t index = chunks_.size() - 1;
    if (!triedFile_) {
        triedFile_ = true;
        auto file = std::make_shared<FileHandle>();
        if (const int err = createScratchFile(folder_, *file); err != 0) {
            memoryOnly_ = true;
            event_ = Event::KeptInMemory;
            eventError_ = err;
        } else {
            // A file-size limit must fail the write, not end the process.
            std::signal(SIGXFSZ, SIG_IGN);
            fd_ = std::move(file);
            startWriter();
        }
    }
    if (memoryOnly_) return;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(Job{index, chunks_[index].data});
    }
    ++queuedChunks_;
    wake_.notify_one();
}

void SpilledText::startWriter() {
    writer_ = std::thread([this] { writerLoop(); });
}

void SpilledText::writerLoop() {
    FileHandle& file = *fd_;
    const std::size_t chunkBytes = chunkBytes_;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopWriter_ || !jobs_.empty(); });
        if (stopWriter_) return;
        Job job = std::move(jobs_.front());
        jobs_.erase(jobs_.begin());
        lock.unlock();
        const int error = file.writeAllAt(static_cast<std::uint64_t>(job.index) * chunkBytes,
                                          job.data.get(), chunkBytes);
        const bool ok = error == 0;
        job.data.reset();
        lock.lock();
        if (ok) {
            written_.push_back(job.index);
        } else {
            // Nothing more goes to the file: what waits stays in memory.
            writeError_ = error;
            jobs_.clear();
        }
        writesDone_.store(true, std::memory_order_release);
        if (!ok) return;
    }
}

void SpilledText::collectWrites() {
    if (!writesDone_.load(std::memory_order_acquire)) return;
    std::vector<std::size_t> done;
    int error = 0;
    {
        std::lock_guard lock(mutex_);
        done.swap(written_);
        error = writeError_;
        writeError_ = 0;
        writesDone_.store(false, std::memory_order_relaxed);
    }
    for (const std::size_t index : done) {
        chunks_[index].onDisk = true;
        ++writtenChunks_;
        --queuedChunks_;
        // The newest text is what a view that follows the end shows: the chunk stays as
        // the cache's most recent entry.
        touch(index);
    }
    if (error != 0 && !memoryOnly_) {
        memoryOnly_ = true;
        queuedChunks_ = 0;
        event_ = Event::KeptInMemory;
        eventError_ = error;
    }
}

void SpilledText::touch(std::size_t index) {
    if (!chunks_[index].onDisk || (!cache_.empty() && cache_.back() == index)) return;
    const auto it = std::find(cache_.begin(), cache_.end(), index);
    if (it != cache_.end()) cache_.erase(it);
    cache_.push_back(index);
    while (cache_.size() > limits_.cachedChunks) {
        chunks_[cache_.front()].data.reset();
        cache_.erase(cache_.begin());
    }
}

const char* SpilledText::chunkData(std::size_t index) {
    Chunk& c = chunks_[index];
    if (!c.data) {
        std::shared_ptr<char[]> data(new char[chunkBytes_]);
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(chunkBytes_, size_ - std::uint64_t(index) * chunkBytes_));
        if (!fd_ ||
            fd_->readFullyAt(std::uint64_t(index) * chunkBytes_, data.get(), want) != want) {
            return nullptr;
        }
        c.data = std::move(data);
    }
    touch(index);
    return c.data.get();
}

bool SpilledText::read(std::uint64_t offset, std::size_t n, char* out) {
    collectWrites();
    while (n > 0) {
        const std::size_t index = static_cast<std::size_t>(offset / chunkBytes_);
        const std::size_t at = static_cast<std::size_t>(offset % chunkBytes_);
        const std::size_t take = std::min(n, chunkBytes_ - at);
        const char* data = chunkData(index);
        if (!data) return false;
        std::memcpy(out, data + at, take);
        out += take;
        offset += take;
        n -= take;
    }
    return true;
}

const char* SpilledText::bytesAt(std::uint64_t offset, std::size_t n) {
    if (n == 0) return "";
    const std::size_t index = static_cast<std::size_t>(offset / chunkBytes_);
    const std::size_t at = static_cast<std::size_t>(offset % chunkBytes_);
    if (at + n <= chunkBytes_) {
        collectWrites();
        const char* data = chunkData(index);
        return data ? data + at : nullptr;
    }
    scratch_.resize(n);
    return read(offset, n, scratch_.data()) ? scratch_.data() : nullptr;
}

bool SpilledText::full() {
    collectWrites();
    if (!memoryOnly_) return queuedChunks_ >= limits_.pendingChunks;
    if (memoryBytes() < limits_.memoryBytes) return false;
    if (!fullReported_) {
        fullReported_ = true;
        event_ = Event::Full;
    }
    return true;
}

SpilledText::Event SpilledText::takeEvent(int& error) {
    collectWrites();
    error = eventError_;
    return std::exchange(event_, Event::None);
}

std::uint64_t SpilledText::memoryBytes() const {
    std::uint64_t bytes = chunks_.capacity() * sizeof(Chunk);
    for (const Chunk& c : chunks_) {
        if (c.data) bytes += chunkBytes_;
    }
    return bytes;
}

SpilledText::Reader SpilledText::reader() {
    collectWrites();
    Reader r;
    r.fd_ = fd_;
    r.size_ = size_;
    r.chunkBytes_ = chunkBytes_;
    r.chunks_.reserve(chunks_.size());
    for (const Chunk& c : chunks_) {
        // Written chunks are read from the file, so that the snapshot keeps no memory alive.
        r.chunks_.push_back(c.onDisk ? nullptr : c.data);
    }
    return r;
}

bool SpilledText::Reader::read(std::uint64_t offset, std::size_t n, char* out) const {
    if (offset + n > size_) return false;
    while (n > 0) {
        const std::size_t index = static_cast<std::size_t>(offset / chunkBytes_);
        const std::size_t at = static_cast<std::size_t>(offset % chunkBytes_);
        const std::size_t take = std::min(n, chunkBytes_ - at);
        if (const auto& data = chunks_[index]) {
            std::memcpy(out, data.get() + at, take);
        } else if (!fd_ || fd_->readFullyAt(offset, out, take) != take) {
            return false;
        }
        out += take;
        offset += take;
        n -= take;
    }
    return true;
}

}  // namespace nimbrel::gui
