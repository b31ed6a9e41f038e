// The line store keeps its text as UTF-8 bytes: about half the memory of UTF-16 for the
// mostly ASCII log lines. Unpaired surrogates are kept as three-byte sequences of their
// own, so every UTF-16 text comes back exactly as it went in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbrel::gui::utf8 {

// Bytes needed to store `n` UTF-16 units at most.
constexpr std::size_t maxBytes(std::size_t units) { return units * 3; }

// Encodes `n` units into `out` (room for maxBytes(n)); returns the bytes written and sets
// `ascii` when every unit was below 0x80.
std::size_t encode(const char16_t* in, std::size_t n, char* out, bool& ascii);

// Decodes `n` bytes written by encode() into `out` (room for n units); returns the units.
std::size_t decode(const char* in, std::size_t n, char16_t* out);

// UTF-16 units that `n` encoded bytes hold.
std::size_t unitCount(const char* in, std::size_t n);

// Byte offset of UTF-16 unit `unit` in `n` encoded bytes (n when unit is past the end).
std::size_t byteOffsetOfUnit(const char* in, std::size_t n, std::size_t unit);

}  // namespace nimbrel::gui::utf8
