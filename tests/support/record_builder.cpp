#include "support/record_builder.h"

namespace nimbrel::test {

Bytes buildRecord(const RecordParts& parts) {
    Bytes b{kSyncByte,
            kSyncByte,
            makeFlags(parts.layout, parts.colour),
            kMarkerByte,
            static_cast<std::uint8_t>(parts.index & 0xFF),
            static_cast<std::uint8_t>(parts.index >> 8),
            parts.info,
            0};
    const bool hasWord = parts.layout & 1, hasByte = parts.layout & 2, wide = parts.layout & 4,
               narrow = parts.layout & 8;
    if (hasByte) b.push_back(parts.extraByte);
    if (hasWord) {
        b.push_back(static_cast<std::uint8_t>(parts.extraWord & 0xFF));
        b.push_back(static_cast<std::uint8_t>(parts.extraWord >> 8));
    }
    if (wide || narrow) {
        b.push_back(static_cast<std::uint8_t>(parts.params.size()));
        for (std::uint32_t p : parts.params) {
            b.push_back(static_cast<std::uint8_t>(p));
            if (wide) {
                b.push_back(static_cast<std::uint8_t>(p >> 8));
                b.push_back(static_cast<std::uint8_t>(p >> 16));
                b.push_back(static_cast<std::uint8_t>(p >> 24));
            }
        }
    }
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void CollectingSink::onRecord(const RecordRef& record, bool lastInWindow) {
    std::lock_guard lock(mutex_);
    items_.push_back(
        {Bytes(record.bytes, record.bytes + record.layout.length), record.layout, lastInWindow});
}

std::vector<CollectingSink::Item> CollectingSink::items() const {
    std::lock_guard lock(mutex_);
    return items_;
}

std::vector<Bytes> CollectingSink::records() const {
    std::lock_guard lock(mutex_);
    std::vector<Bytes> out;
    for (const Item& i : items_) out.push_back(i.bytes);
    return out;
}

}  // namespace nimbrel::test

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace nimbrel::test {

Bytes randomRecord(std::mt19937& rng, std::size_t maxLength) {
    auto pick = [&rng](unsigned lo, unsigned hi) {
        return std::uniform_int_distribution<unsigned>(lo, hi)(rng);
    };
    auto byte = [&] { return static_cast<std::uint8_t>(pick(0, 7) == 0 ? 0xA5 : pick(0, 255)); };
    RecordParts parts;
    parts.layout = pick(0, 11);
    parts.colour = pick(0, 7);
    parts.index = static_cast<std::uint16_t>(byte() | (byte() << 8));
    parts.info = byte();
    parts.extraByte = byte();
    parts.extraWord = static_cast<std::uint16_t>(byte() | (byte() << 8));
    const std::size_t base = kLayoutTable[parts.layout].fixedLength;
    const std::size_t width = kLayoutTable[parts.layout].paramWidth;
    if (width) {
        const std::size_t maxCount = std::min<std::size_t>(255, (maxLength - base) / width);
        const std::size_t n = pick(0, static_cast<unsigned>(maxCount));
        for (std::size_t i = 0; i < n; ++i) {
            parts.params.push_back(byte() | (byte() << 8) | (byte() << 16) |
                                   (static_cast<std::uint32_t>(byte()) << 24));
        }
    }
    Bytes r = buildRecord(parts);
    r[2] = static_cast<std::uint8_t>(r[2] | pick(0, 1));  // bit 0 carries nothing
    r[7] = byte();                                        // reserved
    return r;
}

std::vector<Bytes> recordsOfRawDataFile(const Bytes& file, const std::vector<Bytes>& expected) {
    std::vector<Bytes> found;
    std::size_t pos = 0;
    for (const Bytes& r : expected) {
        if (pos + 9 + r.size() > file.size()) break;
        const unsigned year = file[pos] | (file[pos + 1] << 8);
        const unsigned ms = file[pos + 7] | (file[pos + 8] << 8);
        EXPECT_TRUE(year >= 2000 && year < 2300 && file[pos + 2] >= 1 && file[pos + 2] <= 12 &&
                    ms <= 999)
            << "implausible stamp at " << pos;
        pos += 9;
        found.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(pos),
                           file.begin() + static_cast<std::ptrdiff_t>(pos + r.size()));
        if (found.back() != r) break;
        pos += r.size();
        if (pos + 4 <= file.size() && file[pos] == 0x0A && file[pos + 1] == 0 &&
            file[pos + 2] == 0 && file[pos + 3] == 0) {
            pos += 4;
        }
    }
    EXPECT_EQ(pos, file.size()) << "unexpected bytes after the last entry";
    return found;
}

Bytes readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace nimbrel::test
