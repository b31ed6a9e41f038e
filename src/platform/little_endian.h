// Loads of little-endian numbers from byte buffers. The records, the raw data files and
// the device messages all store their numbers this way, whatever the host's byte order.
#pragma once

#include <cstdint>

namespace nimbrel {

constexpr std::uint16_t loadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t loadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace nimbrel
