// Readers of the packet capture files the export and the extcap write, independent of the
// writers: btsnoop (all numbers big-endian) and pcap (in the byte order its magic says).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel::test {

struct CapturedPacket {
    std::uint32_t originalLength = 0;
    std::uint32_t flags = 0;  // btsnoop: its flags; pcap: the direction word of link type 201
    std::uint32_t drops = 0;
    std::int64_t unixMicros = 0;
    std::vector<std::uint8_t> bytes;  // the included bytes (pcap: after the direction word)
};

struct CaptureFile {
    bool valid = false;          // the header was read and every record was whole
    std::uint32_t version = 0;   // btsnoop version, or the pcap major version
    std::uint32_t linkType = 0;  // btsnoop datalink, or the pcap link type
    std::vector<CapturedPacket> packets;
};

CaptureFile readBtsnoop(const std::vector<std::uint8_t>& file);
// Reads whole records only: a stream cut in the middle of a record keeps what came before.
CaptureFile readPcap(const std::vector<std::uint8_t>& file);

}  // namespace nimbrel::test
