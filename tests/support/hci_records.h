// The HCI packet a log record carries, worked out from the record's bytes alone, for
// checking what the export and the extcap write.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace nimbrel::test {

struct ExpectedPacket {
    bool command = false;
    std::vector<std::uint8_t> bytes;  // H4: packet type, then what the record holds
    std::uint32_t fullLength = 0;     // H4 type byte, header and the announced parameters
};

// The packet of an HCI command (index 1355) or event (1358) record with 32-bit parameters;
// nullopt for any other record. `skipFirstWord`: Ember and Flint chips log a word before it.
std::optional<ExpectedPacket> expectedHciPacket(const std::vector<std::uint8_t>& record,
                                                bool skipFirstWord = false);

}  // namespace nimbrel::test
