// Builds the wire bytes of one firmware log record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace nimbrel::sim {

// Header fields of one record. Fields that the layout does not carry are ignored.
struct RecordFields {
    unsigned layout = 0;      // 0..11
    unsigned colourCode = 0;  // 0..7
    std::uint16_t messageIndex = 0;
    std::uint8_t infoByte = 0;
    std::uint8_t extraByte = 0;
    std::uint16_t extraWord = 0;
};

inline constexpr std::size_t kMaxRecordParams = 255;

// Length of a record of this layout with n parameters (0 for an invalid layout).
std::uint32_t encodedRecordLength(unsigned layout, std::size_t paramCount);

// Appends the record to out and returns its length. Layouts 4..7 store each parameter as a
// 32-bit little-endian word, layouts 8..11 store the low byte of each; layouts 0..3 carry no
// parameters and ignore params. Returns 0 and appends nothing for a layout of 12 or more, a
// colour code above 7, or more than 255 parameters.
std::size_t encodeRecord(const RecordFields& fields, std::span<const std::uint32_t> params,
                         std::vector<std::uint8_t>& out);

}  // namespace nimbrel::sim
