#include "files/pcap_writer.h"

#include <algorithm>
#include <array>

#include "platform/output_file.h"

namespace nimbrel {
namespace {

constexpr std::uint32_t kPcapMagic = 0xA1B2C3D4;  // microsecond time stamps
constexpr std::size_t kPcapRecordHeaderSize = 16;
constexpr std::size_t kPseudoHeaderSize = 4;

std::uint8_t* putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<std::uint8_t>(v >> (8 * i));
    return p;
}

std::uint8_t* putLe16(std::uint8_t* p, std::uint16_t v) {
    *p++ = static_cast<std::uint8_t>(v);
    *p++ = static_cast<std::uint8_t>(v >> 8);
    return p;
}

}  // namespace

int PcapStreamWriter::writeHeader() {
    std::array<std::uint8_t, 24> header{};
    std::uint8_t* p = putLe32(header.data(), kPcapMagic);
    p = putLe16(p, 2);  // version 2.4
    p = putLe16(p, 4);
    p = putLe32(p, 0);  // time zone: the stamps are UTC
    p = putLe32(p, 0);  // accuracy
    p = putLe32(p, kPcapSnapLength);
    putLe32(p, kPcapLinkTypeH4WithPhdr);
    return file_.write(header.data(), header.size());
}

int PcapStreamWriter::write(const HciPacket& packet, std::int64_t unixMicros) {
    std::array<std::uint8_t, kPcapRecordHeaderSize + kPseudoHeaderSize + kHciPacketMaxBytes>
        record{};
    const std::int64_t seconds = unixMicros / 1000000;
    std::uint8_t* p = putLe32(record.data(), static_cast<std::uint32_t>(seconds));
    p = putLe32(p, static_cast<std::uint32_t>(unixMicros - seconds * 1000000));
    p = putLe32(p, static_cast<std::uint32_t>(kPseudoHeaderSize + packet.includedLength));
    p = putLe32(p, static_cast<std::uint32_t>(kPseudoHeaderSize + packet.originalLength));
    const std::uint8_t direction = packet.sentByHost() ? 0 : 1;
    *p++ = 0;
    *p++ = 0;
    *p++ = 0;
    *p++ = direction;
    p = std::copy_n(packet.bytes.begin(), packet.includedLength, p);
    return file_.write(record.data(), static_cast<std::size_t>(p - record.data()));
}

}  // namespace nimbrel
