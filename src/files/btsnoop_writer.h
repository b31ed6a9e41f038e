// btsnoop files of HCI packets, as btmon and Wireshark read them: version 1, datalink 1002
// (HCI UART, H4), every packet with its H4 type byte, commands flagged as sent by the host
// and events as received. All numbers are big-endian.
//
//   header  "btsnoop\0", version (u32) 1, datalink (u32) 1002
//   record  original length (u32), included length (u32), flags (u32: bit 0 received,
//           bit 1 command or event), cumulative drops (u32), time (i64: microseconds
//           since midnight, 1 January of year 0, UTC), then the included bytes
//
// Both lengths are the bytes logged, also for a packet the firmware logged only the start
// of: btmon reads a record's original length of bytes whatever its included length says,
// so a larger original length would make it lose every packet after the first cut one.
// The packet's own header still announces its full length, so readers see the cut.
#pragma once

#include <cstdint>
#include <vector>

#include "files/hci_packet.h"

namespace nimbrel {

class OutputFile;

inline constexpr std::uint32_t kBtsnoopVersion = 1;
inline constexpr std::uint32_t kBtsnoopDatalinkH4 = 1002;
inline constexpr std::size_t kBtsnoopHeaderSize = 16;
inline constexpr std::size_t kBtsnoopRecordHeaderSize = 24;
// The btsnoop time of the Unix epoch, 1970-01-01 00:00:00 UTC.
inline constexpr std::int64_t kBtsnoopUnixEpoch = 0x00DCDDB30F2F8000;

class BtsnoopWriter {
public:
    // Writes the file header first.
    explicit BtsnoopWriter(OutputFile& file);

    // Appends one packet stamped `unixMicros` (UTC). Buffered: see flush.
    void write(const HciPacket& packet, std::int64_t unixMicros);
    // Writes what is buffered: 0, or the errno value of the first failed write (later
    // writes are dropped after a failure).
    int flush();

private:
    OutputFile& file_;
    std::vector<std::uint8_t> buffer_;
    int error_ = 0;
};

}  // namespace nimbrel
