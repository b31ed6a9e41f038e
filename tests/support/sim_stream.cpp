#include "support/sim_stream.h"

#include "sim/log_generator.h"

namespace nimbrel::test {

std::vector<std::vector<std::uint8_t>> simulatedRecords(std::uint64_t seed, std::size_t count) {
    sim::LogGenerator generator(seed);
    std::vector<std::vector<std::uint8_t>> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) records.push_back(generator.next().bytes);
    return records;
}

std::vector<std::uint8_t> simulatedStream(std::uint64_t seed, std::size_t count) {
    std::vector<std::uint8_t> out;
    for (const auto& r : simulatedRecords(seed, count)) out.insert(out.end(), r.begin(), r.end());
    return out;
}

}  // namespace nimbrel::test
