#include "support/hci_records.h"

#include <algorithm>

#include "pipeline/record_layout.h"

namespace nimbrel::test {

std::optional<ExpectedPacket> expectedHciPacket(const std::vector<std::uint8_t>& record,
                                                bool skipFirstWord) {
    const unsigned layout = (record[2] >> 1) & 0x0F;
    const unsigned index = record[4] | (record[5] << 8);
    if ((index != 1355 && index != 1358) || layout < 4 || layout > 7) return std::nullopt;
    const std::uint32_t start = kLayoutTable[layout].paramStart;
    std::vector<std::uint32_t> words;
    for (unsigned i = 0; i < record[start - 1]; ++i) {
        const std::uint8_t* p = &record[start + 4 * i];
        words.push_back(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24));
    }
    if (skipFirstWord && !words.empty()) words.erase(words.begin());
    ExpectedPacket out;
    out.command = index == 1355;
    out.bytes.push_back(out.command ? 0x01 : 0x04);
    for (std::size_t i = 0; i < words.size(); ++i) {
        out.bytes.push_back(static_cast<std::uint8_t>(words[i]));
        if (i == 0 && out.command) out.bytes.push_back(static_cast<std::uint8_t>(words[i] >> 8));
    }
    const std::uint32_t header = out.command ? 4 : 3;
    const std::uint32_t announced = words.size() > 1 ? (words[1] & 0xFF) : 0;
    out.fullLength =
        std::max<std::uint32_t>(header + announced, static_cast<std::uint32_t>(out.bytes.size()));
    return out;
}

}  // namespace nimbrel::test
