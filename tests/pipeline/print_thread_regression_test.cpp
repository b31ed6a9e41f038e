// Faults found by fuzzing the capture ring and the print thread.
#include <gtest/gtest.h>

#include "pipeline/capture_hub.h"
#include "pipeline/print_thread.h"
#include "support/record_builder.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;
using test::CollectingSink;

struct Ring {
    CaptureHub hub{"/nonexistent"};
    CollectingSink sink;
    PrintThread thread{hub, sink, [](unsigned) {}};

    Ring() {
        hub.allocateRing();
        hub.setPrintThreadQuit(false);
        hub.setWriteThreadQuit(false);
    }
    void append(const Bytes& b) { hub.ring.append(b.data(), static_cast<std::uint32_t>(b.size())); }
    // Runs the print thread to its end after the capture stopped; false when it did not
    // end within `bound` passes.
    bool drain(int bound) {
        hub.setWriteThreadQuit(true);
        for (int i = 0; i < bound; ++i) {
            if (!thread.pass()) return true;
        }
        return false;
    }
};

// A producer more than the overrun threshold ahead while still in its first lap (or in the
// last 5,120 bytes of a later one): the start of its lap is no closer than the threshold,
// so skipping there found the same overrun on every pass and the print thread spun without
// ever framing again, nor ending when the capture stopped.
TEST(PrintThreadRegression, ReaderFarBehindInTheProducersFirstLapCatchesUpAndEnds) {
    Ring r;
    const Bytes first = buildRecord({.layout = 4, .index = 7, .params = {1, 2}});
    r.append(first);
    const Bytes filler(static_cast<std::size_t>(kOverrunThreshold) + 1000, 0x11);
    r.append(filler);
    const Bytes last = buildRecord({.layout = 4, .index = 9, .params = {3}});
    r.append(last);
    ASSERT_LT(r.hub.ring.writePosition(), BigBuffer::kSize);  // all in the first lap

    ASSERT_TRUE(r.drain(20000));
    EXPECT_EQ(r.hub.readState.readPosition, r.hub.ring.writePosition());
    // What lay beyond the threshold was skipped; the record at the end was framed.
    const std::vector<Bytes> records = r.sink.records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], last);
    EXPECT_EQ(r.hub.counters.overrunBytes(), first.size() + filler.size() + last.size() -
                                                 static_cast<std::uint64_t>(kOverrunThreshold));
}

// The same overrun while the reader is already in the producer's lap: skipping back to the
// lap start made the reader frame again records it had framed before.
TEST(PrintThreadRegression, OverrunLateInTheReadersOwnLapNeverFramesARecordTwice) {
    Ring r;
    const Bytes record =
        buildRecord({.layout = 8, .index = 3, .params = std::vector<std::uint32_t>(40, 0x42)});
    Bytes chunk;
    while (chunk.size() < 64 * 1024) chunk.insert(chunk.end(), record.begin(), record.end());
    // Records up to 1,500 bytes into the second lap, framed as they arrive.
    auto frameWhatWaits = [&r] {
        while (r.hub.ring.writePosition() - r.hub.readState.readPosition > kWindowSize)
            r.thread.pass();
    };
    while (r.hub.ring.writePosition() + chunk.size() < BigBuffer::kSize + 1500) {
        r.append(chunk);
        frameWhatWaits();
    }
    while (r.hub.ring.writePosition() < BigBuffer::kSize + 1500) {
        r.append(record);
        frameWhatWaits();
    }
    const std::size_t framed = r.sink.records().size();
    const std::uint64_t readBefore = r.hub.readState.readPosition;
    ASSERT_GT(readBefore, BigBuffer::kSize);

    // The producer races on to 2,000 bytes before the end of that lap.
    r.append(Bytes(2 * BigBuffer::kSize - 2000 - r.hub.ring.writePosition(), 0x11));
    r.thread.pass();
    EXPECT_GT(r.hub.readState.readPosition, readBefore);
    EXPECT_LE(r.hub.ring.writePosition() - r.hub.readState.readPosition,
              static_cast<std::uint64_t>(kOverrunThreshold));

    ASSERT_TRUE(r.drain(20000));
    EXPECT_EQ(r.sink.records().size(), framed);
    const CaptureCounters& c = r.hub.counters;
    EXPECT_EQ(framed * record.size() + c.noiseBytes() + c.overrunBytes(),
              r.hub.readState.readPosition);
}

}  // namespace
}  // namespace nimbrel
