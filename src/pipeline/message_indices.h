// Message indices with a meaning of their own: the records that carry HCI and LMP packets
// for the decoders, and the raw dump.
#pragma once

#include <cstdint>

namespace nimbrel {

inline constexpr std::uint16_t kHciCommandIndex = 1355;
inline constexpr std::uint16_t kHciEventIndex = 1358;
inline constexpr std::uint16_t kLmpSentIndex = 3091;
inline constexpr std::uint16_t kLmpSentExtIndex = 3092;
inline constexpr std::uint16_t kLmpReceivedIndex = 3093;
inline constexpr std::uint16_t kLmpReceivedExtIndex = 3094;
inline constexpr std::uint16_t kRawDumpIndex = 65535;

}  // namespace nimbrel
