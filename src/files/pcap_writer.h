// A pcap stream of HCI packets for Wireshark's live capture: link type 201 (Bluetooth HCI
// H4 with pseudo-header), each packet written as it comes so that the reader shows it at
// once. Numbers of the pcap headers are little-endian (the magic number tells readers);
// the pseudo-header is one big-endian word whose low bit is set for packets the host
// received (events) and clear for packets it sent (commands).
#pragma once

#include <cstdint>

#include "files/hci_packet.h"

namespace nimbrel {

class OutputFile;

inline constexpr std::uint32_t kPcapLinkTypeH4WithPhdr = 201;
inline constexpr std::uint32_t kPcapSnapLength = 65535;

class PcapStreamWriter {
public:
    explicit PcapStreamWriter(OutputFile& file) : file_(file) {}

    // The file header. 0, else the errno value.
    int writeHeader();
    // One packet stamped `unixMicros` (UTC), in one write. 0, else the errno value (EPIPE:
    // the reader has gone).
    int write(const HciPacket& packet, std::int64_t unixMicros);

private:
    OutputFile& file_;
};

}  // namespace nimbrel
