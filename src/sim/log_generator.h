// A seeded generator of realistic controller firmware logs: start-up messages, HCI command
// and event exchanges (reset, inquiry, connection set-up, pairing, LE advertising, scanning
// and connections), LMP exchanges, state, warning and error lines in every colour, strings,
// raw dumps and, now and then, a message index that data/LOG1.h does not define.
//
// The same seed gives the same records on every platform. No record contains the sync pair
// A5 A5 after its own sync bytes, nor ends in A5, so every record survives framing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/record_encoder.h"

namespace nimbrel::sim {

struct SimRecord {
    RecordFields fields;
    std::vector<std::uint32_t> params;  // 32-bit words (layouts 4..7) or byte values (8..11)
    std::vector<std::uint8_t> bytes;    // the encoded record
    std::uint32_t gapMs = 0;            // time since the previous record
};

class ScenarioContext;

class LogGenerator {
public:
    explicit LogGenerator(std::uint64_t seed);
    ~LogGenerator();
    LogGenerator(LogGenerator&&) noexcept;
    LogGenerator& operator=(LogGenerator&&) noexcept;

    // The next record; the reference stays valid until the next call. Records reuse their
    // buffers, so a long run does not allocate per record.
    const SimRecord& next();

    std::uint64_t produced() const { return produced_; }

private:
    std::unique_ptr<ScenarioContext> context_;
    std::uint64_t produced_ = 0;
};

}  // namespace nimbrel::sim
