#include "pipeline/print_thread.h"

#include <gtest/gtest.h>

#include "pipeline/capture_hub.h"
#include "support/record_builder.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;
using test::CollectingSink;
using test::operator+;

// Drives the print thread pass by pass without real sleeps.
struct Harness {
    CaptureHub hub{"/nonexistent"};
    CollectingSink sink;
    std::vector<unsigned> sleeps;
    PrintThread thread{hub, sink, [this](unsigned ms) { sleeps.push_back(ms); }};

    Harness() {
        hub.allocateRing();
        hub.setPrintThreadQuit(false);
        hub.setWriteThreadQuit(false);
    }
    void append(const Bytes& b) { hub.ring.append(b.data(), static_cast<std::uint32_t>(b.size())); }
    void passes(int n) {
        for (int i = 0; i < n; ++i) thread.pass();
    }
};

Bytes recordOfSize(std::size_t total, std::uint16_t index) {
    // Layout 8: 9 + n bytes.
    return buildRecord(
        {.layout = 8, .index = index, .params = std::vector<std::uint32_t>(total - 9, 0x42)});
}

TEST(BigBuffer, AppendEndingAtTheRingEndKeepsTheLapThenWraps) {
    BigBuffer ring;
    ring.allocate();
    Bytes chunk(BigBuffer::kSize / 2, 1);
    ring.append(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
    ring.append(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
    EXPECT_EQ(BigBuffer::offsetOf(ring.writePosition()), BigBuffer::kSize);
    EXPECT_EQ(BigBuffer::lapOf(ring.writePosition()), 0u);
    const Bytes next{7, 8, 9};
    ring.append(next.data(), 3);
    EXPECT_EQ(BigBuffer::offsetOf(ring.writePosition()), 3u);
    EXPECT_EQ(BigBuffer::lapOf(ring.writePosition()), 1u);
    Bytes out(3);
    ring.copyOut(BigBuffer::kSize, out.data(), 3);
    EXPECT_EQ(out, next);
}

TEST(PrintThread, AllZeroRingIsOnlyReportedAndZerosAreNeverFramed) {
    Harness h;
    h.append(Bytes(2000, 0));
    h.passes(5);
    EXPECT_EQ(h.sleeps, (std::vector<unsigned>(5, 1)));
    EXPECT_EQ(h.hub.readState.readPosition, 0u);
    h.hub.setWriteThreadQuit(true);
    EXPECT_FALSE(h.thread.pass());  // empty ring and the writer stopped: the thread ends
    EXPECT_TRUE(h.sink.records().empty());
}

TEST(PrintThread, FullWindowAtOnceThenPartialWindowAfterTenIdlePasses) {
    Harness h;
    Bytes stream;
    std::vector<Bytes> records;
    while (stream.size() < 600) {
        records.push_back(recordOfSize(50, static_cast<std::uint16_t>(records.size())));
        stream = stream + records.back();
    }
    h.append(stream);
    // More than 512 waiting: framed without sleeping.
    h.passes(1);
    EXPECT_TRUE(h.sleeps.empty());
    EXPECT_EQ(h.sink.records().size(), 1u);
    // Keep framing until 512 or fewer bytes wait.
    while (h.hub.ring.writePosition() - h.hub.readState.readPosition > 512) h.passes(1);
    const std::size_t framedBeforeFlush = h.sink.records().size();
    h.passes(9);
    EXPECT_EQ(h.sink.records().size(), framedBeforeFlush);  // still waiting
    h.passes(1);                                            // tenth idle pass flushes
    EXPECT_EQ(h.sink.records().size(), framedBeforeFlush + 1);
    // Once quiet, every further pass flushes at once.
    while (h.hub.ring.writePosition() != h.hub.readState.readPosition) h.passes(1);
    EXPECT_EQ(h.sink.records(), records);
    EXPECT_TRUE(h.sink.items().back().last);
}

TEST(PrintThread, WindowStraddlingTheRingEndFramesLikeAnyOther) {
    Harness h;
    const Bytes filler(BigBuffer::kSize - 20, 0x33);
    h.append(Bytes{1});  // a non-zero byte so the ring is not all zero
    h.hub.readState.readPosition = 1;
    // Move both positions close to the end of the ring without framing the filler.
    h.hub.ring.append(filler.data(), static_cast<std::uint32_t>(filler.size()));
    h.hub.readState.readPosition = h.hub.ring.writePosition();
    const Bytes a = recordOfSize(60, 1), b = recordOfSize(700 - 60, 2);
    h.append(a + b + a);
    while (h.hub.ring.writePosition() != h.hub.readState.readPosition) h.passes(1);
    ASSERT_GE(h.sink.records().size(), 2u);
    EXPECT_EQ(h.sink.records()[0], a);
}

TEST(PrintThread, ProducerLappingTheReaderMakesItSkipToTheLapStart) {
    Harness h;
    const Bytes chunk(BigBuffer::kSize / 4, 0x22);
    for (int i = 0; i < 4; ++i) h.append(chunk);
    h.append(Bytes(100, 0x22));  // 4,194,404 waiting: more than the threshold
    h.passes(1);
    EXPECT_EQ(h.hub.readState.readPosition, BigBuffer::kSize);
    EXPECT_EQ(h.hub.counters.overrunBytes(), BigBuffer::kSize);
    EXPECT_TRUE(h.sink.records().empty());
    // 4,189,185 waiting is already an overrun; 4,189,184 is not.
    Harness g;
    Bytes big(kOverrunThreshold, 0x22);
    g.append(big);
    g.passes(1);
    EXPECT_EQ(g.hub.readState.readPosition, 512u);
    Harness k;
    big.push_back(0x22);
    k.append(big);
    k.passes(1);
    // Still in the first lap: the lap start is no closer, so the reader resumes at the
    // threshold.
    EXPECT_EQ(k.hub.readState.readPosition, 1u);
    EXPECT_EQ(k.hub.counters.overrunBytes(), 1u);
}

TEST(PrintThread, EndsWhenNothingWaitsAndTheWriterStopped) {
    Harness h;
    h.append(recordOfSize(20, 1) + recordOfSize(20, 2));
    h.hub.setWriteThreadQuit(true);
    int passes = 0;
    while (h.thread.pass()) ASSERT_LT(++passes, 100);
    EXPECT_EQ(h.sink.records().size(), 2u);
    EXPECT_EQ(h.hub.readState.readPosition, h.hub.ring.writePosition());
}

// The writer's last bytes arrive while the pass sleeps on an empty ring, and the writer
// ends in that sleep: the thread ends, but only after it has framed them.
TEST(PrintThread, BytesThatArriveWhileThePassSleepsAreFramedBeforeTheThreadEnds) {
    CaptureHub hub{"/nonexistent"};
    test::CollectingSink sink;
    const Bytes last = recordOfSize(30, 7);
    PrintThread thread{hub, sink, [&](unsigned ms) {
                           if (ms != 100) return;
                           hub.ring.append(last.data(), static_cast<std::uint32_t>(last.size()));
                           hub.setWriteThreadQuit(true);
                       }};
    hub.allocateRing();
    const Bytes first = recordOfSize(20, 1);
    hub.ring.append(first.data(), static_cast<std::uint32_t>(first.size()));
    hub.setPrintThreadQuit(false);
    hub.setWriteThreadQuit(false);
    int passes = 0;
    while (thread.pass()) ASSERT_LT(++passes, 100);
    EXPECT_EQ(sink.records(), (std::vector<Bytes>{first, last}));
    EXPECT_TRUE(sink.items().back().last);
}

TEST(PrintThread, UnfinishedTailIsDroppedOnceTheWriterStopped) {
    Harness h;
    const Bytes r = recordOfSize(40, 1);
    h.append(r + Bytes(r.begin(), r.begin() + 15));
    h.hub.setWriteThreadQuit(true);
    int passes = 0;
    while (h.thread.pass()) ASSERT_LT(++passes, 200);
    EXPECT_EQ(h.sink.records(), std::vector<Bytes>{r});
    EXPECT_EQ(h.hub.readState.readPosition, h.hub.ring.writePosition());
}

// A record cut short (its header declares 209 bytes, 12 arrived) followed by good records
// in a stream that then goes quiet: the cut record is given up once the stream has
// settled, and the records behind it are shown then, not lost at stop.
TEST(PrintThread, CutRecordIsGivenUpOnceTheStreamSettlesAndTheRecordsBehindItAreShown) {
    Harness h;
    const Bytes first = recordOfSize(30, 1);
    const Bytes cut = recordOfSize(209, 2);
    const Bytes second = recordOfSize(25, 3);
    const Bytes third = recordOfSize(40, 4);
    h.append(first + Bytes(cut.begin(), cut.begin() + 12) + second + third);
    h.passes(kFlushAfterIdlePasses + 5);  // flushed, but the rest of the cut record may still come
    EXPECT_EQ(h.sink.records(), std::vector<Bytes>{first});
    h.passes(kSettledAfterQuietPasses);
    EXPECT_EQ(h.sink.records(), (std::vector<Bytes>{first, second, third}));
    EXPECT_EQ(h.hub.readState.readPosition, h.hub.ring.writePosition());
    h.hub.setWriteThreadQuit(true);
    int passes = 0;
    while (h.thread.pass()) ASSERT_LT(++passes, 100);
    EXPECT_EQ(h.sink.records().size(), 3u);
}

// A record with A5 A5 among its parameters, cut by a read boundary, waits through a pause
// that flushes the window and completes when its bytes arrive.
TEST(PrintThread, RecordWithInnerSyncPairCompletesAfterAShortPause) {
    Harness h;
    const Bytes inner = buildRecord({.layout = 4, .index = 9, .params = {0xA5A5, 7, 8}});
    const Bytes next = recordOfSize(20, 5);
    h.append(Bytes(inner.begin(), inner.begin() + 15));
    h.passes(kFlushAfterIdlePasses + 5);
    EXPECT_TRUE(h.sink.records().empty());
    h.append(Bytes(inner.begin() + 15, inner.end()) + next);
    h.passes(kFlushAfterIdlePasses + 1);
    EXPECT_EQ(h.sink.records(), (std::vector<Bytes>{inner, next}));
}

// Working through a backlog takes many passes without new bytes, but no time: a record cut
// at the backlog's end is still waited for, however long the backlog was.
TEST(PrintThread, LongBacklogDoesNotCountAsAQuietStream) {
    Harness h;
    const Bytes filler = recordOfSize(100, 1);
    Bytes backlog;
    for (int i = 0; i < 2000; ++i)
        backlog = backlog + filler;  // far more windows than the settle count
    const Bytes inner = buildRecord({.layout = 4, .index = 9, .params = {0xA5A5, 7, 8}});
    const Bytes next = recordOfSize(20, 5);
    h.append(backlog + Bytes(inner.begin(), inner.begin() + 15));
    h.passes(2000 + kFlushAfterIdlePasses + 5);  // one record a pass
    ASSERT_EQ(h.sink.records().size(), 2000u);
    h.append(Bytes(inner.begin() + 15, inner.end()) + next);
    h.passes(kFlushAfterIdlePasses + 1);
    ASSERT_EQ(h.sink.records().size(), 2002u);
    EXPECT_EQ(h.sink.records()[2000], inner);
    EXPECT_EQ(h.sink.records()[2001], next);
}

// Told to stop with a backlog of several windows, a last record that only a flush can
// confirm and the start of a record that will never be completed: the one pass frames all
// of it before the thread ends, and the unfinished start counts as noise.
TEST(PrintThread, StopRequestFramesEverythingWaitingBeforeTheThreadEnds) {
    Harness h;
    std::vector<Bytes> records;
    Bytes stream;
    while (stream.size() < 3000) {
        records.push_back(
            recordOfSize(70 + records.size() % 50, static_cast<std::uint16_t>(records.size())));
        stream = stream + records.back();
    }
    const Bytes cut = recordOfSize(60, 999);
    h.append(stream + Bytes(cut.begin(), cut.begin() + 11));
    h.hub.setPrintThreadQuit(true);
    EXPECT_FALSE(h.thread.pass());
    EXPECT_EQ(h.sink.records(), records);
    EXPECT_EQ(h.hub.readState.readPosition, h.hub.ring.writePosition());
    EXPECT_EQ(h.hub.counters.noiseBytes(), 11u);
    EXPECT_EQ(h.thread.run(), 0);
    EXPECT_TRUE(h.hub.printThreadQuit());
}

}  // namespace
}  // namespace nimbrel
