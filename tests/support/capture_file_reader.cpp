#include "support/capture_file_reader.h"

#include <cstring>

namespace nimbrel::test {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

std::uint32_t le32(const std::uint8_t* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           p[0];
}

// Microseconds from 0000-01-01 to 1970-01-01, as btsnoop counts them.
constexpr std::int64_t kBtsnoopToUnix = 0x00DCDDB30F2F8000;

}  // namespace

CaptureFile readBtsnoop(const std::vector<std::uint8_t>& file) {
    CaptureFile out;
    if (file.size() < 16 || std::memcmp(file.data(), "btsnoop\0", 8) != 0) return out;
    out.version = be32(&file[8]);
    out.linkType = be32(&file[12]);
    std::size_t at = 16;
    while (at + 24 <= file.size()) {
        CapturedPacket p;
        p.originalLength = be32(&file[at]);
        const std::uint32_t included = be32(&file[at + 4]);
        p.flags = be32(&file[at + 8]);
        p.drops = be32(&file[at + 12]);
        const std::uint64_t ts = (std::uint64_t{be32(&file[at + 16])} << 32) | be32(&file[at + 20]);
        p.unixMicros = static_cast<std::int64_t>(ts) - kBtsnoopToUnix;
        at += 24;
        if (at + included > file.size()) return out;
        p.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + included));
        at += included;
        out.packets.push_back(std::move(p));
    }
    out.valid = at == file.size();
    return out;
}

CaptureFile readPcap(const std::vector<std::uint8_t>& file) {
    CaptureFile out;
    if (file.size() < 24) return out;
    const bool little = le32(&file[0]) == 0xA1B2C3D4;
    if (!little && be32(&file[0]) != 0xA1B2C3D4) return out;
    auto u32 = [&](std::size_t at) { return little ? le32(&file[at]) : be32(&file[at]); };
    out.version = little ? std::uint32_t{file[4]} | (std::uint32_t{file[5]} << 8)
                         : (std::uint32_t{file[4]} << 8) | file[5];
    out.linkType = u32(20);
    std::size_t at = 24;
    while (at + 16 <= file.size()) {
        const std::uint32_t included = u32(at + 8);
        if (included < 4 || at + 16 + included > file.size()) break;
        CapturedPacket p;
        p.unixMicros = std::int64_t{u32(at)} * 1000000 + u32(at + 4);
        p.originalLength = u32(at + 12) - 4;
        p.flags = be32(&file[at + 16]);
        p.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 20),
                       file.begin() + static_cast<std::ptrdiff_t>(at + 16 + included));
        at += 16 + included;
        out.packets.push_back(std::move(p));
    }
    out.valid = true;
    return out;
}

}  // namespace nimbrel::test
