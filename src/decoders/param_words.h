// The parameter words of one log record as the protocol decoders read them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbrel {

// A read-only view of a record's 32-bit parameters (already converted from their
// little-endian form). Decoders read a fixed set of word positions whatever the record
// holds; a position the record does not hold reads as 0, so nothing outside the record
// is ever touched.
struct ParamWords {
    const std::uint32_t* words = nullptr;
    std::size_t count = 0;
    std::uint32_t operator[](std::size_t i) const { return i < count ? words[i] : 0; }
};

}  // namespace nimbrel
