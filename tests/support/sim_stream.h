// What the controller simulator sends for a seed: its records and their concatenation.
#pragma once

#include <cstdint>
#include <vector>

namespace nimbrel::test {

std::vector<std::vector<std::uint8_t>> simulatedRecords(std::uint64_t seed, std::size_t count);
std::vector<std::uint8_t> simulatedStream(std::uint64_t seed, std::size_t count);

}  // namespace nimbrel::test
