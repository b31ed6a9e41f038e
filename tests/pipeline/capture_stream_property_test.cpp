// The capture spine end to end: a generated stream of valid records of all twelve layouts,
// cut into random chunks, must come out of the print thread exactly once each and in order,
// however it was cut, and the raw data file must hold every record behind a stamp. Records
// cut short in the stream (a lost tail) must not hold back or lose the records behind them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "pipeline/capture_hub.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/print_thread.h"
#include "pipeline/record_emitter.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::Bytes;
using test::CollectingSink;

struct Stream {
    Bytes bytes;
    std::vector<Bytes> records;
};

Stream makeStream(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    Stream s;
    std::vector<bool> seen(kLayoutCount);
    for (std::size_t i = 0; i < count; ++i) {
        s.records.push_back(test::randomRecord(rng));
        seen[layoutOfFlags(s.records.back()[2])] = true;
        s.bytes.insert(s.bytes.end(), s.records.back().begin(), s.records.back().end());
    }
    for (unsigned layout = 0; layout < kLayoutCount; ++layout) EXPECT_TRUE(seen[layout]) << layout;
    return s;
}

// Feeds the stream in chunks and runs print-thread passes (without real sleeps) between
// them, as a live capture would interleave.
std::vector<Bytes> frameInChunks(const Bytes& stream, const std::function<std::size_t()>& nextChunk,
                                 std::mt19937& rng) {
    CaptureHub hub("/nonexistent");
    CollectingSink sink;
    PrintThread thread(hub, sink, [](unsigned) {});
    hub.allocateRing();
    hub.setPrintThreadQuit(false);
    hub.setWriteThreadQuit(false);
    std::size_t pos = 0;
    while (pos < stream.size()) {
        const std::size_t n = std::min(nextChunk(), stream.size() - pos);
        hub.ring.append(stream.data() + pos, static_cast<std::uint32_t>(n));
        pos += n;
        // A pause of a random number of passes; long enough now and then to flush.
        const int passes = std::uniform_int_distribution<int>(0, 25)(rng);
        for (int i = 0; i < passes; ++i) thread.pass();
        // Never let the producer lap the reader in this test.
        while (hub.ring.writePosition() - hub.readState.readPosition > BigBuffer::kSize / 2)
            thread.pass();
    }
    hub.setWriteThreadQuit(true);
    int guard = 0;
    while (thread.pass()) {
        if (++guard > 1000000) {
            ADD_FAILURE() << "print thread did not end";
            break;
        }
    }
    EXPECT_EQ(hub.counters.overrunBytes(), 0u);
    return sink.records();
}

// Index of the first record that differs, for failure messages.
std::size_t firstDifference(const std::vector<Bytes>& a, const std::vector<Bytes>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

// A stream in which some records are cut short, each directly followed by an intact one.
struct CutStream {
    Bytes bytes;
    std::vector<Bytes> intact;
    std::vector<std::size_t> intactEnds;  // stream offset just past each intact record
    // Chunk ends that would make a cut record look well delimited: its declared end, or
    // one byte past it. The protocol cannot tell such a cut record from a whole one.
    std::vector<bool> ambiguousEnd;
    // Chunk ends inside an intact record after an inner sync pair: a long stall there is
    // indistinguishable from a cut record (only the threaded test, whose stalls are real
    // time, keeps clear of them).
    std::vector<bool> innerPairTail;
};

CutStream makeCutStream(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    struct Piece {
        Bytes bytes;
        bool cut;
    };
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::uniform_int_distribution<int>(0, 7)(rng) == 0) {
            // The bytes of a cut record hold no A5 beyond its sync pair: a record-like run
            // inside a lost tail is, rightly, framed as a record.
            Bytes whole = test::randomRecord(rng);
            std::replace(whole.begin() + 2, whole.end(), kSyncByte, std::uint8_t{0xA4});
            const std::size_t keep =
                std::uniform_int_distribution<std::size_t>(1, whole.size() - 1)(rng);
            pieces.push_back(
                {Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep)), true});
        }
        pieces.push_back({test::randomRecord(rng), false});
    }
    for (;;) {
        CutStream s;
        std::vector<std::size_t> cutStarts;
        for (const Piece& p : pieces) {
            if (p.cut) cutStarts.push_back(s.bytes.size());
            s.bytes.insert(s.bytes.end(), p.bytes.begin(), p.bytes.end());
        }
        s.ambiguousEnd.assign(s.bytes.size() + 2, false);
        // A cut record, or a sync pair among its bytes, whose declared end meets a sync pair
        // would be framed as a record and swallow what lies in between: leave such cuts out.
        std::vector<bool> drop(pieces.size(), false);
        bool removed = false;
        std::size_t cutIndex = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (!pieces[i].cut) continue;
            const std::size_t start = cutStarts[cutIndex++];
            for (std::size_t at = start; at < start + pieces[i].bytes.size(); ++at) {
                if (s.bytes[at] != kSyncByte || s.bytes[at + 1] != kSyncByte) continue;
                const HeaderCheck h = checkHeader(s.bytes.data() + at, s.bytes.size() - at);
                if (h.state != HeaderState::Known) continue;
                const std::size_t end = at + h.layout.length;
                if (end + 1 < s.bytes.size() && s.bytes[end] == kSyncByte &&
                    s.bytes[end + 1] == kSyncByte) {
                    drop[i] = removed = true;
                }
                if (end < s.ambiguousEnd.size()) s.ambiguousEnd[end] = true;
                if (end + 1 < s.ambiguousEnd.size()) s.ambiguousEnd[end + 1] = true;
            }
        }
        if (removed) {
            std::vector<Piece> kept;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (!drop[i]) kept.push_back(std::move(pieces[i]));
            }
            pieces = std::move(kept);
        }
        if (removed) continue;
        s.innerPairTail.assign(s.bytes.size() + 1, false);
        std::size_t at = 0;
        for (const Piece& p : pieces) {
            if (!p.cut) {
                s.intact.push_back(p.bytes);
                s.intactEnds.push_back(at + p.bytes.size());
                for (std::size_t q = 2; q + 1 < p.bytes.size(); ++q) {
                    if (p.bytes[q] != kSyncByte || p.bytes[q + 1] != kSyncByte) continue;
                    for (std::size_t e = q + 2; e < p.bytes.size(); ++e)
                        s.innerPairTail[at + e] = true;
                    break;
                }
            }
            at += p.bytes.size();
        }
        return s;
    }
}

// Cut records in random chunks with random pauses, driven pass by pass: short pauses may
// fall anywhere (they flush the window but do not settle the stream); long pauses follow
// an intact record, and by the end of one every intact record so far has been shown.
TEST(CaptureStreamProperty, CutRecordsNeverHoldBackOrLoseTheRecordsBehindThem) {
    const CutStream s = makeCutStream(20000, 31);
    std::mt19937 rng(5);
    CaptureHub hub("/nonexistent");
    CollectingSink sink;
    PrintThread thread(hub, sink, [](unsigned) {});
    hub.allocateRing();
    hub.setPrintThreadQuit(false);
    hub.setWriteThreadQuit(false);
    std::size_t pos = 0;
    std::size_t nextIntact = 0;
    std::size_t longPauses = 0;
    while (pos < s.bytes.size()) {
        std::size_t n =
            std::min(std::uniform_int_distribution<std::size_t>(1, 600)(rng), s.bytes.size() - pos);
        while (s.ambiguousEnd[pos + n] && pos + n < s.bytes.size()) ++n;
        // Now and then the firmware goes quiet after a record.
        const bool quiet = std::uniform_int_distribution<int>(0, 5)(rng) == 0;
        if (quiet) {
            const auto end = std::lower_bound(s.intactEnds.begin(), s.intactEnds.end(), pos + n);
            if (end != s.intactEnds.end()) n = *end - pos;
        }
        hub.ring.append(s.bytes.data() + pos, static_cast<std::uint32_t>(n));
        pos += n;
        while (nextIntact < s.intactEnds.size() && s.intactEnds[nextIntact] <= pos) ++nextIntact;
        const bool atIntactEnd = nextIntact > 0 && s.intactEnds[nextIntact - 1] == pos;
        if (quiet && atIntactEnd) {
            // The firmware goes quiet: everything intact so far is shown within the pause.
            int guard = 0;
            while (hub.readState.readPosition != hub.ring.writePosition() && ++guard < 5000)
                thread.pass();
            ASSERT_EQ(hub.counters.recordsFramed(), nextIntact)
                << "at stream offset " << pos << ", first difference at record "
                << firstDifference(sink.records(), s.intact);
            ++longPauses;
        } else {
            const int passes = std::uniform_int_distribution<int>(
                0, static_cast<int>(kSettledAfterQuietPasses) - 1)(rng);
            for (int i = 0; i < passes; ++i) thread.pass();
        }
        while (hub.ring.writePosition() - hub.readState.readPosition > BigBuffer::kSize / 2)
            thread.pass();
    }
    EXPECT_GT(longPauses, 100u);
    hub.setWriteThreadQuit(true);
    int guard = 0;
    while (thread.pass()) ASSERT_LT(++guard, 100000);
    const auto framed = sink.records();
    ASSERT_EQ(framed.size(), s.intact.size());
    EXPECT_TRUE(framed == s.intact);
}

TEST(CaptureStreamProperty, SameRecordsWhetherFedWholeInRandomChunksOrByteByByte) {
    const Stream s = makeStream(3000, 7);
    std::mt19937 rng(11);
    const auto whole = frameInChunks(
        s.bytes, [] { return std::size_t{1} << 20; }, rng);
    EXPECT_EQ(whole, s.records);
    const auto chunks = frameInChunks(
        s.bytes, [&rng] { return std::uniform_int_distribution<std::size_t>(1, 600)(rng); }, rng);
    EXPECT_EQ(chunks, s.records);
    const auto bytes = frameInChunks(
        s.bytes, [] { return std::size_t{1}; }, rng);
    EXPECT_EQ(bytes, s.records);
}

// The same with a real producer thread and the real print thread: every intact record is
// shown before the capture is stopped, none waits for the stop.
TEST(CaptureStreamProperty, CutRecordsWithAProducerThreadAreShownBeforeTheStop) {
    const CutStream s = makeCutStream(100000, 77);
    CaptureHub hub("/nonexistent");
    CollectingSink display;
    MessageDefinitionTable definitions;
    definitions.loadFromText("");
    RecordEmitter emitter(display, definitions, hub);
    hub.allocateRing();
    hub.setWriteThreadQuit(false);
    hub.startPrintThreadIfIdle(emitter);

    std::thread producer([&] {
        std::mt19937 rng(3);
        std::size_t pos = 0;
        while (pos < s.bytes.size()) {
            std::size_t n = std::min(std::uniform_int_distribution<std::size_t>(1, 600)(rng),
                                     s.bytes.size() - pos);
            while (pos + n < s.bytes.size() &&
                   (s.ambiguousEnd[pos + n] || s.innerPairTail[pos + n]))
                ++n;
            while (hub.ring.writePosition() - hub.counters.readPosition() > BigBuffer::kSize / 2) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            hub.ring.append(s.bytes.data() + pos, static_cast<std::uint32_t>(n));
            pos += n;
            if (std::uniform_int_distribution<int>(0, 499)(rng) == 0) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 80)(rng)));
            }
        }
    });
    producer.join();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (hub.counters.recordsFramed() < s.intact.size() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(hub.counters.recordsFramed(), s.intact.size())
        << "records still held back before the stop";
    hub.setWriteThreadQuit(true);
    ASSERT_TRUE(hub.m_printThread.waitFor(std::chrono::seconds(60)));
    EXPECT_EQ(hub.counters.overrunBytes(), 0u);
    const auto framed = display.records();
    ASSERT_EQ(framed.size(), s.intact.size());
    EXPECT_TRUE(framed == s.intact);
}

TEST(CaptureStreamProperty, ProducerThreadAndRealPrintThreadLoseNothing) {
    test::TempDir dir;
    const Stream s = makeStream(100000, 2024);

    CaptureHub hub(dir.path());
    CollectingSink display;
    MessageDefinitionTable definitions;
    definitions.loadFromText("");
    RecordEmitter emitter(display, definitions, hub);
    hub.setAutoSaveRawData(true);
    hub.rawDataFile.setName(dir.file("raw.log"));
    hub.allocateRing();
    hub.setWriteThreadQuit(false);
    hub.startPrintThreadIfIdle(emitter);
    EXPECT_FALSE(hub.printThreadQuit());

    std::thread producer([&] {
        std::mt19937 rng(99);
        std::size_t pos = 0;
        while (pos < s.bytes.size()) {
            const std::size_t n = std::min(std::uniform_int_distribution<std::size_t>(1, 600)(rng),
                                           s.bytes.size() - pos);
            // A real device is far slower than the ring; keep well clear of an overrun.
            while (hub.ring.writePosition() - hub.counters.readPosition() > BigBuffer::kSize / 2) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            hub.ring.append(s.bytes.data() + pos, static_cast<std::uint32_t>(n));
            pos += n;
            if (std::uniform_int_distribution<int>(0, 199)(rng) == 0) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 15)(rng)));
            }
        }
    });
    producer.join();
    hub.setWriteThreadQuit(true);
    ASSERT_TRUE(hub.m_printThread.waitFor(std::chrono::seconds(120)));
    EXPECT_TRUE(hub.printThreadQuit());

    EXPECT_EQ(hub.counters.overrunBytes(), 0u);
    EXPECT_EQ(hub.counters.recordsFramed(), s.records.size());
    const auto framed = display.records();
    ASSERT_EQ(framed.size(), s.records.size());
    EXPECT_TRUE(framed == s.records);
    const auto recorded =
        test::recordsOfRawDataFile(test::readFileBytes(dir.file("raw.log")), s.records);
    EXPECT_EQ(recorded.size(), s.records.size());
    EXPECT_TRUE(recorded == s.records);
}

}  // namespace
}  // namespace nimbrel
