// Capture stream fuzzing: bytes as a device delivers them go into the capture ring in
// chunks of any size, and the print thread drains the ring through the framer, pass by
// pass, with a sleeper that returns at once. At the end the capture stops and the print
// thread runs to its end.
//
// Input: a sequence of commands, each a 16-bit little-endian control word
//   bits 0-9   chunk length L (0..1023)
//   bits 10-15 passes P (0..63)
// followed, when L > 0, by L stream bytes (fewer when the input ends):
//   L > 0            append the chunk to the ring, then run P passes
//   L = 0, P < 63    run P passes (the stream is quiet)
//   L = 0, P = 63    the producer runs far ahead: the next 16 bits choose a zero-filled
//                    stretch of about one ring lap, appended with no pass in between
//
// Checked: every record handed over is a well-formed record and is byte for byte what was
// captured at the window's first sync pair; the print thread ends within a bounded number
// of passes once the capture has stopped, with the ring drained; the counters account for
// every byte the reader moved over.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "pipeline/capture_hub.h"
#include "pipeline/print_thread.h"
#include "pipeline/record_framer.h"

namespace {

using namespace nimbrel;

// Zero-filled stretches of a producer that lapped the reader; at most this many per input.
constexpr int kMaxStalls = 2;

std::uint64_t firstSyncFrom(const std::vector<std::uint8_t>& stream, std::uint64_t from) {
    for (std::uint64_t i = from; i + 1 < stream.size(); ++i) {
        if (stream[i] == kSyncByte && stream[i + 1] == kSyncByte) return i;
    }
    return stream.size();
}

class CheckingSink : public RecordSink {
public:
    CheckingSink(const std::vector<std::uint8_t>& stream, const RingReadState& readState)
        : stream_(stream), readState_(readState) {}

    void onRecord(const RecordRef& record, bool) override {
        const RecordLayout& layout = record.layout;
        FUZZ_CHECK(layout.length >= kRecordHeaderSize && layout.length <= kLongestRecord);
        FUZZ_CHECK(layout.length <= kWindowSize);
        const HeaderCheck header = checkHeader(record.bytes, layout.length);
        FUZZ_CHECK(header.state == HeaderState::Known);
        FUZZ_CHECK(header.layout.length == layout.length);
        FUZZ_CHECK(header.layout.paramStart == layout.paramStart);
        FUZZ_CHECK(header.layout.paramWidth == layout.paramWidth);
        FUZZ_CHECK(header.layout.extraByteOffset == layout.extraByteOffset);
        FUZZ_CHECK(header.layout.extraWordOffset == layout.extraWordOffset);

        // The window starts at the read position; the record starts at its first sync pair.
        const std::uint64_t at = firstSyncFrom(stream_, readState_.readPosition);
        FUZZ_CHECK(at + layout.length <= stream_.size());
        FUZZ_CHECK(std::memcmp(stream_.data() + at, record.bytes, layout.length) == 0);
        ++records;
        recordBytes += layout.length;
    }

    std::uint64_t records = 0;
    std::uint64_t recordBytes = 0;

private:
    const std::vector<std::uint8_t>& stream_;
    const RingReadState& readState_;
};

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    bool done() const { return pos >= size; }
    std::uint16_t u16() {
        std::uint16_t v = 0;
        for (int i = 0; i < 2 && pos < size; ++i)
            v = static_cast<std::uint16_t>(v | data[pos++] << (8 * i));
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CaptureHub hub("/nonexistent");
    hub.allocateRing();
    hub.setWriteThreadQuit(false);
    hub.setPrintThreadQuit(false);

    std::vector<std::uint8_t> stream;  // everything appended, by absolute position
    CheckingSink sink(stream, hub.readState);
    PrintThread thread(hub, sink, [](unsigned) {});

    auto append = [&](const std::uint8_t* bytes, std::uint32_t n) {
        stream.insert(stream.end(), bytes, bytes + n);
        hub.ring.append(bytes, n);
        FUZZ_CHECK(hub.ring.writePosition() == stream.size());
    };
    auto passes = [&](unsigned count) {
        for (unsigned i = 0; i < count; ++i) FUZZ_CHECK(thread.pass());  // the capture runs on
    };

    Reader in{data, size};
    int stalls = 0;
    while (!in.done()) {
        const std::uint16_t control = in.u16();
        const std::uint32_t length = control & 0x3FFu;
        const unsigned passCount = control >> 10;
        if (length > 0) {
            const auto n =
                static_cast<std::uint32_t>(std::min<std::size_t>(length, in.size - in.pos));
            if (n == 0) break;
            append(data + in.pos, n);
            in.pos += n;
            passes(passCount);
        } else if (passCount == 63) {
            const std::uint16_t choice = in.u16();
            if (stalls++ >= kMaxStalls) continue;
            // Around the overrun threshold (4,189,184 bytes), always below one lap.
            const std::uint32_t n =
                static_cast<std::uint32_t>(kOverrunThreshold) - 600 + choice % 4600;
            std::vector<std::uint8_t> zeros(n, 0);
            append(zeros.data(), n);
        } else {
            passes(passCount);
        }
    }

    // The capture stops; the print thread drains what is left and ends. Every pass either
    // consumes bytes or counts towards the flush and the drop of an unfinished tail, so the
    // number of passes is bounded by the bytes waiting.
    hub.setWriteThreadQuit(true);
    const std::uint64_t waiting = stream.size() - hub.readState.readPosition;
    const std::uint64_t bound = 4 * waiting + 1000;
    std::uint64_t count = 0;
    while (thread.pass()) FUZZ_CHECK(++count <= bound);

    const RingReadState& rs = hub.readState;
    if (rs.nonZeroSeen) {
        FUZZ_CHECK(rs.readPosition == stream.size());
        const CaptureCounters& c = hub.counters;
        FUZZ_CHECK(c.recordsFramed() == sink.records);
        FUZZ_CHECK(c.readPosition() == rs.readPosition);
        FUZZ_CHECK(sink.recordBytes + c.noiseBytes() + c.overrunBytes() == rs.readPosition);
    } else {
        // Nothing but zero bytes was captured: never framed.
        FUZZ_CHECK(sink.records == 0);
        for (std::uint8_t b : stream) FUZZ_CHECK(b == 0);
    }
    return 0;
}
