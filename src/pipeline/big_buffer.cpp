#include "pipeline/big_buffer.h"

#include <algorithm>
#include <cstring>

namespace nimbrel {

void BigBuffer::allocate() {
    if (data_) return;
    data_ = std::make_unique<std::uint8_t[]>(kSize);  // value-initialised: zero-filled
}

void BigBuffer::release() { data_.reset(); }

std::uint32_t BigBuffer::lapOf(std::uint64_t position) {
    return position == 0 ? 0 : static_cast<std::uint32_t>((position - 1) / kSize);
}

std::uint32_t BigBuffer::offsetOf(std::uint64_t position) {
    return static_cast<std::uint32_t>(position -
                                      static_cast<std::uint64_t>(lapOf(position)) * kSize);
}

void BigBuffer::append(const std::uint8_t* bytes, std::uint32_t n) {
    if (!data_ || n == 0 || n >= kSize) return;
    const std::uint64_t position = writePosition_.load(std::memory_order_relaxed);
    std::uint32_t offset = offsetOf(position);
    if (offset == kSize) offset = 0;
    const std::uint32_t first = std::min(n, kSize - offset);
    std::memcpy(data_.get() + offset, bytes, first);
    if (first < n) std::memcpy(data_.get(), bytes + first, n - first);
    writePosition_.store(position + n, std::memory_order_release);
}

void BigBuffer::copyOut(std::uint64_t position, std::uint8_t* out, std::uint32_t n) const {
    const auto offset = static_cast<std::uint32_t>(position % kSize);
    const std::uint32_t first = std::min(n, kSize - offset);
    std::memcpy(out, data_.get() + offset, first);
    if (first < n) std::memcpy(out + first, data_.get(), n - first);
}

bool BigBuffer::rangeIsZero(std::uint64_t from, std::uint64_t to) const {
    if (to - from > kSize) from = to - kSize;
    for (std::uint64_t p = from; p < to;) {
        const auto offset = static_cast<std::uint32_t>(p % kSize);
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(to - p, kSize - offset));
        const std::uint8_t* begin = data_.get() + offset;
        if (std::find_if(begin, begin + n, [](std::uint8_t b) { return b != 0; }) != begin + n)
            return false;
        p += n;
    }
    return true;
}

}  // namespace nimbrel
