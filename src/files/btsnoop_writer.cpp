#include "files/btsnoop_writer.h"

#include "files/big_endian.h"
#include "platform/output_file.h"

namespace nimbrel {
namespace {

constexpr std::size_t kFlushAt = std::size_t{64} << 10;
constexpr std::uint32_t kFlagReceived = 1;
constexpr std::uint32_t kFlagCommandOrEvent = 2;

}  // namespace

BtsnoopWriter::BtsnoopWriter(OutputFile& file) : file_(file) {
    buffer_.reserve(kFlushAt + kBtsnoopRecordHeaderSize + kHciPacketMaxBytes);
    static constexpr char kMagic[8] = {'b', 't', 's', 'n', 'o', 'o', 'p', '\0'};
    buffer_.insert(buffer_.end(), kMagic, kMagic + sizeof kMagic);
    appendBe32(buffer_, kBtsnoopVersion);
    appendBe32(buffer_, kBtsnoopDatalinkH4);
}

void BtsnoopWriter::write(const HciPacket& packet, std::int64_t unixMicros) {
    appendBe32(buffer_, packet.includedLength);  // original length: see the header
    appendBe32(buffer_, packet.includedLength);
    appendBe32(buffer_, kFlagCommandOrEvent | (packet.sentByHost() ? 0 : kFlagReceived));
    appendBe32(buffer_, 0);  // cumulative drops
    appendBe64(buffer_, static_cast<std::uint64_t>(unixMicros + kBtsnoopUnixEpoch));
    buffer_.insert(buffer_.end(), packet.bytes.begin(),
                   packet.bytes.begin() + packet.includedLength);
    if (buffer_.size() >= kFlushAt) flush();
}

int BtsnoopWriter::flush() {
    if (error_ == 0 && !buffer_.empty()) error_ = file_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return error_;
}

}  // namespace nimbrel
