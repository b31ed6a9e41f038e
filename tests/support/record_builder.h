// Builds record bytes and collects framed records for tests.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "pipeline/record_framer.h"
#include "pipeline/record_layout.h"

namespace nimbrel::test {

using Bytes = std::vector<std::uint8_t>;

struct RecordParts {
    unsigned layout = 0;
    unsigned colour = 1;
    std::uint16_t index = 1;
    std::uint8_t info = 0;
    std::uint8_t extraByte = 0;
    std::uint16_t extraWord = 0;
    std::vector<std::uint32_t> params;  // truncated to a byte each for layouts 8-11
};

Bytes buildRecord(const RecordParts& parts);

// Concatenation helper.
Bytes operator+(Bytes a, const Bytes& b);

// Keeps a copy of every record it is given.
class CollectingSink : public RecordSink {
public:
    struct Item {
        Bytes bytes;
        RecordLayout layout;
        bool last;
    };
    void onRecord(const RecordRef& record, bool lastInWindow) override;
    std::vector<Item> items() const;
    std::vector<Bytes> records() const;

private:
    mutable std::mutex mutex_;
    std::vector<Item> items_;
};

}  // namespace nimbrel::test

#include <random>

namespace nimbrel::test {

// A valid record of a random layout (0..11), colour, unused flag bit and reserved byte,
// whose parameters often hold 0xA5 bytes. At most `maxLength` bytes long.
Bytes randomRecord(std::mt19937& rng, std::size_t maxLength = 300);

// Splits `stream` into the stamped entries a raw data file holds and returns the records
// behind them, checking each stamp for plausibility; fails the current test on a mismatch.
std::vector<Bytes> recordsOfRawDataFile(const Bytes& file, const std::vector<Bytes>& expected);

Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);

}  // namespace nimbrel::test
