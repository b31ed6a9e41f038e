// The wire format of the device bridge: how a control request reaches a driver device and
// how its reply comes back, over a Unix-domain stream socket (see docs/device-bridge.md).
//
//   request: code (u32 LE), input size (u32 LE), output size (u32 LE), input bytes
//   reply:   status (u32 LE, 0 or an errno value), output size returned (u32 LE, at most
//            the output size asked for; 0 when status is not 0), output bytes
//
// Requests on one connection are answered in the order they were sent.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/control_device.h"  // the device names, which are the socket names

namespace nimbrel {

inline constexpr std::size_t kBridgeRequestHeaderSize = 12;
inline constexpr std::size_t kBridgeReplyHeaderSize = 8;
// Largest input or output a side accepts; a peer that announces more breaks the
// connection instead of making the other side allocate without bound.
inline constexpr std::uint32_t kBridgeMaxPayload = 1u << 20;

inline void storeU32Le(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t loadU32Le(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace nimbrel
