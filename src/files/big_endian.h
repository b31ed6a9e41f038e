// Big-endian numbers appended to byte buffers: the byte order of btsnoop files and of the
// direction word of Bluetooth pcap packets.
#pragma once

#include <cstdint>
#include <vector>

namespace nimbrel {

inline void appendBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

inline void appendBe64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    appendBe32(out, static_cast<std::uint32_t>(v >> 32));
    appendBe32(out, static_cast<std::uint32_t>(v));
}

}  // namespace nimbrel
