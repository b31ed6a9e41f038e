// The 4 MiB capture ring: one producer (the capture thread) appends, one consumer (the
// print thread) reads. No lock: the producer publishes its write position, one 64-bit
// absolute count, with release ordering after the bytes are in place; the consumer takes
// one acquiring snapshot per pass. The producer never looks at the read position; when it
// laps the consumer, unread bytes are overwritten and the consumer skips ahead.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace nimbrel {

class BigBuffer {
public:
    static constexpr std::uint32_t kSize = 0x400000;  // 4,194,304 bytes

    // Allocates the ring zero-filled unless it exists.
    void allocate();
    // Frees the ring; only when neither the producer nor the consumer can touch it.
    void release();
    bool allocated() const { return data_ != nullptr; }

    // Producer: n bytes, n < kSize. Positions run on across release and allocate.
    void append(const std::uint8_t* bytes, std::uint32_t n);

    // Absolute count of bytes ever appended (acquire).
    std::uint64_t writePosition() const { return writePosition_.load(std::memory_order_acquire); }
    // The position as lap and offset: an append that ends exactly at the end of the ring
    // leaves the offset at kSize and the lap unchanged; the next append wraps.
    static std::uint32_t lapOf(std::uint64_t position);
    static std::uint32_t offsetOf(std::uint64_t position);

    // Copies n bytes starting at an absolute position (two copies when they straddle the
    // end of the ring). The bytes must have been published.
    void copyOut(std::uint64_t position, std::uint8_t* out, std::uint32_t n) const;
    // True when none of the published bytes in [from, to) is non-zero.
    bool rangeIsZero(std::uint64_t from, std::uint64_t to) const;

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::atomic<std::uint64_t> writePosition_{0};
};

}  // namespace nimbrel
