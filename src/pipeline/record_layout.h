// Wire format of one firmware log record and the table of its twelve layouts.
//
//   offset 0,1  sync A5 A5
//   offset 2    flags: bit 0 unused, bits 1-4 layout (0..11), bits 5-7 colour code
//   offset 3    marker 0x5A
//   offset 4    message index, 16-bit little-endian
//   offset 6    info byte
//   offset 7    reserved
//   offset 8..  optional part: extraByte, extraWord, paramCount, parameters
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/little_endian.h"

namespace nimbrel {

inline constexpr std::uint8_t kSyncByte = 0xA5;
inline constexpr std::uint8_t kMarkerByte = 0x5A;
inline constexpr std::uint32_t kRecordHeaderSize = 8;
inline constexpr std::uint32_t kLongestRecord = 1032;  // layout 7 with 255 parameters
inline constexpr unsigned kLayoutCount = 12;

// Where the optional fields of one record lie. An offset of 0 marks an absent field
// (no optional field can start at offset 0).
struct RecordLayout {
    std::uint32_t extraByteOffset = 0;
    std::uint32_t extraWordOffset = 0;
    std::uint32_t paramStart = 0;  // paramCount sits at paramStart - 1
    std::uint32_t paramWidth = 0;  // 4, 1 or 0
    std::uint32_t length = 0;      // whole record length in bytes
};

// Static shape of a layout: everything but the parameter count.
struct LayoutShape {
    std::uint32_t extraByteOffset;
    std::uint32_t extraWordOffset;
    std::uint32_t paramStart;
    std::uint32_t paramWidth;
    std::uint32_t fixedLength;  // length without parameters (includes the count byte)
};

inline constexpr std::array<LayoutShape, kLayoutCount> kLayoutTable{{
    {0, 0, 0, 0, 8},    // 0
    {0, 8, 0, 0, 10},   // 1 extraWord
    {8, 0, 0, 0, 9},    // 2 extraByte
    {8, 9, 0, 0, 11},   // 3 extraByte + extraWord
    {0, 0, 9, 4, 9},    // 4 32-bit parameters
    {0, 8, 11, 4, 11},  // 5
    {8, 0, 10, 4, 10},  // 6
    {8, 9, 12, 4, 12},  // 7
    {0, 0, 9, 1, 9},    // 8 8-bit parameters
    {0, 8, 11, 1, 11},  // 9
    {8, 0, 10, 1, 10},  // 10
    {8, 9, 12, 1, 12},  // 11
}};

constexpr unsigned layoutOfFlags(std::uint8_t flags) { return (flags >> 1) & 0x0F; }
constexpr unsigned colourCodeOfFlags(std::uint8_t flags) { return (flags >> 5) & 0x07; }
constexpr std::uint8_t makeFlags(unsigned layout, unsigned colourCode) {
    return static_cast<std::uint8_t>(((layout & 0x0F) << 1) | ((colourCode & 0x07) << 5));
}

// Result of looking at the bytes from a sync pair on.
enum class HeaderState {
    Incomplete,  // plausible so far, but more bytes are needed to know the length
    Invalid,     // layout 12..15 or a wrong marker
    Known,       // layout and length known (the record may still be incomplete)
};

struct HeaderCheck {
    HeaderState state = HeaderState::Incomplete;
    bool badLayout = false;  // layout 12..15 (for the trace)
    RecordLayout layout{};
};

// Examines the record that starts (with its sync pair) at `bytes`, of which `available`
// bytes exist. Never reads at or past bytes[available].
inline HeaderCheck checkHeader(const std::uint8_t* bytes, std::size_t available) {
    HeaderCheck out;
    if (available < 3) return out;
    const unsigned layout = layoutOfFlags(bytes[2]);
    if (layout >= kLayoutCount) {
        out.state = HeaderState::Invalid;
        out.badLayout = true;
        return out;
    }
    if (available < 4) return out;
    if (bytes[3] != kMarkerByte) {
        out.state = HeaderState::Invalid;
        return out;
    }
    const LayoutShape& s = kLayoutTable[layout];
    std::uint32_t length = s.fixedLength;
    if (s.paramStart != 0) {
        const std::uint32_t countAt = s.paramStart - 1;
        if (countAt >= available) return out;
        length += static_cast<std::uint32_t>(bytes[countAt]) * s.paramWidth;
    }
    out.state = HeaderState::Known;
    out.layout = {s.extraByteOffset, s.extraWordOffset, s.paramStart, s.paramWidth, length};
    return out;
}

// Read-only view of one framed record. The bytes belong to the caller for the duration of
// one hand-over; consumers copy what they keep.
struct RecordRef {
    const std::uint8_t* bytes = nullptr;
    RecordLayout layout{};

    std::uint8_t flags() const { return bytes[2]; }
    unsigned layoutNumber() const { return layoutOfFlags(bytes[2]); }
    unsigned colourCode() const { return colourCodeOfFlags(bytes[2]); }
    std::uint16_t messageIndex() const { return loadLe16(bytes + 4); }
    std::uint8_t infoByte() const { return bytes[6]; }
    std::uint8_t extraByte() const {
        return layout.extraByteOffset ? bytes[layout.extraByteOffset] : 0;
    }
    std::uint16_t extraWord() const {
        if (!layout.extraWordOffset) return 0;
        return loadLe16(bytes + layout.extraWordOffset);
    }
    std::uint32_t paramCount() const {
        return layout.paramStart ? bytes[layout.paramStart - 1] : 0;
    }
};

}  // namespace nimbrel
