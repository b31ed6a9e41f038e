// The control codes and buffer layouts shared with the filter driver and the UART bus
// driver: what this side sends, and how it reads the replies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nimbrel {

// Device type 0x22 (unknown), buffered, any access; functions 0xA06/0xA07 and 0xA11/0xA12.
inline constexpr std::uint32_t IOCTL_BTFILTER_SET_LOG = 0x00222818;
inline constexpr std::uint32_t IOCTL_BTFILTER_READ_LOG = 0x0022281C;
inline constexpr std::uint32_t IOCTL_UARTBUS_SET_LOG = 0x00222844;
inline constexpr std::uint32_t IOCTL_UARTBUS_READ_LOG = 0x00222848;

// Set-log request: a 4-byte form whose last byte is the state, or the 1-byte stop form.
// Its reply is one status byte; 0 means success.
inline constexpr std::array<std::uint8_t, 4> kSetLogOn{0x01, 0x23, 0x01, 0x01};
inline constexpr std::array<std::uint8_t, 4> kSetLogOff{0x01, 0x23, 0x01, 0x00};
inline constexpr std::array<std::uint8_t, 1> kSetLogStop{0x00};
inline constexpr std::uint32_t kSetLogReplySize = 1;

// Read request: one input byte of no meaning; reply of 1027 bytes: status (0 = data
// follows), length n (u16 LE), then the data area. The driver side sends n = data bytes
// + 1: the data bytes followed by a terminating zero that is not part of the log.
inline constexpr std::uint32_t kReadLogRequestSize = 1;
inline constexpr std::uint32_t kReadLogReplySize = 1027;
inline constexpr std::size_t kReadLogHeaderSize = 3;
inline constexpr std::size_t kReadLogDataArea = 1024;
// Most data bytes one reply carries: the terminating zero takes the last byte of the area.
inline constexpr std::size_t kReadLogMaxData = kReadLogDataArea - 1;

}  // namespace nimbrel
