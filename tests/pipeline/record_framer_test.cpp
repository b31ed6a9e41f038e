#include "pipeline/record_framer.h"

#include <gtest/gtest.h>

#include "support/record_builder.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;
using test::CollectingSink;
using test::RecordParts;
using test::operator+;

FrameOutcome frame(const Bytes& w, bool flushed, CollectingSink& sink, bool settled = false) {
    return RecordFramer::frameOne(w.data(), static_cast<std::uint32_t>(w.size()), flushed, sink,
                                  settled);
}

Bytes noise(std::size_t n, std::uint8_t value = 0x11) { return Bytes(n, value); }

const Bytes kRecA =
    buildRecord({.layout = 4, .colour = 1, .index = 1337, .info = 7, .params = {1, 300}});
const Bytes kRecB = buildRecord({.layout = 2, .colour = 2, .index = 20, .extraByte = 9});
const Bytes kLayout0 = buildRecord({.layout = 0, .index = 5});

TEST(RecordLayout, WorkedExampleBytesAndAllTwelveLengths) {
    EXPECT_EQ(kRecA, (Bytes{0xA5, 0xA5, 0x28, 0x5A, 0x39, 0x05, 0x07, 0x00, 0x02, 0x01, 0x00, 0x00,
                            0x00, 0x2C, 0x01, 0x00, 0x00}));
    const std::uint32_t expectedBase[] = {8, 10, 9, 11, 9, 11, 10, 12, 9, 11, 10, 12};
    for (unsigned layout = 0; layout < 12; ++layout) {
        const Bytes r = buildRecord({.layout = layout, .params = {1, 2, 3}});
        const HeaderCheck h = checkHeader(r.data(), r.size());
        ASSERT_EQ(h.state, HeaderState::Known) << layout;
        const std::uint32_t params = (layout & 4) ? 12 : (layout & 8) ? 3 : 0;
        EXPECT_EQ(h.layout.length, expectedBase[layout] + params) << layout;
        EXPECT_EQ(h.layout.length, r.size()) << layout;
    }
}

TEST(RecordFramer, NoiseBeforeRecordIsConsumedWithIt) {
    CollectingSink sink;
    const Bytes w = noise(5) + kRecA + kRecB;
    const FrameOutcome out = frame(w, false, sink);
    EXPECT_TRUE(out.emitted);
    EXPECT_EQ(out.consumed, 5 + kRecA.size());
    ASSERT_EQ(sink.records().size(), 1u);
    EXPECT_EQ(sink.records()[0], kRecA);
    EXPECT_FALSE(sink.items()[0].last);
}

TEST(RecordFramer, BackToBackRecordsAreTakenOneCallEach) {
    CollectingSink sink;
    Bytes w = kRecA + kRecB + kRecA;
    FrameOutcome out = frame(w, false, sink);
    EXPECT_EQ(out.consumed, kRecA.size());
    w.erase(w.begin(), w.begin() + out.consumed);
    out = frame(w, false, sink);
    EXPECT_EQ(out.consumed, kRecB.size());
    EXPECT_EQ(sink.records(), (std::vector<Bytes>{kRecA, kRecB}));
}

TEST(RecordFramer, NoiseBetweenRecordsIsDiscardedUpToTheNextSync) {
    CollectingSink sink;
    const Bytes w = kRecB + noise(7) + kRecA;
    const FrameOutcome out = frame(w, false, sink);
    EXPECT_TRUE(out.emitted);
    EXPECT_EQ(out.consumed, kRecB.size() + 7);
    EXPECT_EQ(out.recordLength, kRecB.size());
}

TEST(RecordFramer, InvalidLayoutsAndWrongMarkerSkipToTheNextSync) {
    for (unsigned layout = 12; layout < 16; ++layout) {
        CollectingSink sink;
        Bytes bad = buildRecord({.layout = 0});
        bad[2] = static_cast<std::uint8_t>(layout << 1);
        const FrameOutcome out = frame(bad + noise(3) + kRecA, false, sink);
        EXPECT_FALSE(out.emitted);
        EXPECT_EQ(out.consumed, bad.size() + 3) << layout;
    }
    CollectingSink sink;
    Bytes bad = kRecB;
    bad[3] = 0x5B;
    const FrameOutcome out = frame(bad + kRecA, true, sink);
    EXPECT_FALSE(out.emitted);
    EXPECT_EQ(out.consumed, bad.size());
    EXPECT_TRUE(sink.records().empty());
}

TEST(RecordFramer, UnusedFlagBitAndReservedByteDoNotMatter) {
    CollectingSink sink;
    Bytes r = kRecA;
    r[2] |= 1;
    r[7] = 0xEE;
    const FrameOutcome out = frame(r + kRecB, false, sink);
    EXPECT_TRUE(out.emitted);
    EXPECT_EQ(out.consumed, r.size());
}

TEST(RecordFramer, WindowsWithoutSyncPairAndALoneTrailingSyncByte) {
    CollectingSink sink;
    EXPECT_EQ(frame(noise(40), false, sink).consumed, 40u);
    // A lone A5 at the end may be the first sync byte of the next record: it stays.
    EXPECT_EQ(frame(noise(40) + Bytes{0xA5}, false, sink).consumed, 40u);
    EXPECT_EQ(frame(Bytes{0xA5}, true, sink).consumed, 0u);
    EXPECT_EQ(frame(Bytes{0x01}, true, sink).consumed, 1u);
    EXPECT_EQ(frame(Bytes{}, true, sink).consumed, 0u);
    EXPECT_TRUE(sink.records().empty());
}

TEST(RecordFramer, LastRecordOfAFlushedWindow) {
    // Layout 2 (9 bytes) and layout 0 (8 bytes) both end exactly at the window's end.
    for (const Bytes& last : {kRecB, kLayout0}) {
        CollectingSink sink;
        const FrameOutcome out = frame(noise(2) + last, true, sink);
        EXPECT_TRUE(out.emitted);
        EXPECT_EQ(out.consumed, 2 + last.size());
        ASSERT_EQ(sink.items().size(), 1u);
        EXPECT_TRUE(sink.items()[0].last);
        EXPECT_EQ(sink.items()[0].bytes, last);
    }
    // Noise after the last record goes with it; a lone A5 after it is kept.
    CollectingSink sink;
    EXPECT_EQ(frame(kRecB + noise(3), true, sink).consumed, kRecB.size() + 3);
    EXPECT_EQ(frame(kRecB + Bytes{0xA5}, true, sink).consumed, kRecB.size());
    EXPECT_EQ(sink.records().size(), 2u);
}

TEST(RecordFramer, IncompleteRecordIsKeptUntilTheRestArrives) {
    const Bytes whole = kRecA + kRecB;
    for (std::size_t cut = 1; cut < kRecA.size(); ++cut) {
        CollectingSink sink;
        const Bytes head = noise(4) + Bytes(kRecA.begin(), kRecA.begin() + static_cast<std::ptrdiff_t>(cut));
        // Flushed: only the noise before the sync is consumed.
        EXPECT_EQ(frame(head, true, sink).consumed, 4u) << cut;
        // Streaming with the sync not at the start: same.
        EXPECT_EQ(frame(head, false, sink).consumed, 4u) << cut;
        EXPECT_TRUE(sink.records().empty());
        // The rest arrives: the record is framed whole.
        const FrameOutcome out = frame(whole, false, sink);
        EXPECT_TRUE(out.emitted);
        EXPECT_EQ(sink.records().at(0), kRecA);
    }
}

TEST(RecordFramer, SettledStreamGivesUpOnlyTheIncompleteCandidate) {
    const Bytes long_ =
        buildRecord({.layout = 4, .index = 3, .params = std::vector<std::uint32_t>(50, 7)});
    const Bytes cut(long_.begin(), long_.begin() + 12);
    for (std::size_t lead : {0u, 3u}) {
        CollectingSink sink;
        const Bytes w = noise(lead) + cut + kRecB;
        // Not settled: kept, with only the noise before it consumed.
        EXPECT_EQ(frame(w, true, sink).consumed, lead);
        // Settled: the candidate goes up to the next sync pair, and the record there is framed.
        const FrameOutcome out = frame(w, true, sink, true);
        EXPECT_FALSE(out.emitted);
        EXPECT_EQ(out.consumed, lead + cut.size());
        const Bytes rest(w.begin() + out.consumed, w.end());
        EXPECT_TRUE(frame(rest, true, sink, true).emitted);
        EXPECT_EQ(sink.records(), std::vector<Bytes>{kRecB});
    }
    // Settled with nothing behind it: still kept (the capture may resume).
    CollectingSink sink;
    EXPECT_EQ(frame(noise(2) + cut, true, sink, true).consumed, 2u);
    // A complete record with an inner sync pair and one A5 after it ends the settled window.
    const Bytes inner = buildRecord({.layout = 4, .index = 9, .params = {0xA5A5, 7}});
    const FrameOutcome out = frame(inner + Bytes{0xA5}, true, sink, true);
    EXPECT_TRUE(out.emitted);
    EXPECT_EQ(out.consumed, inner.size());
}

TEST(RecordFramer, StrayA5InFrontOfARecordDoesNotCostTheRecord) {
    for (bool flushed : {false, true}) {
        CollectingSink sink;
        Bytes w = Bytes{0xA5} + kRecA + kRecB;
        const FrameOutcome out = frame(w, flushed, sink);
        EXPECT_FALSE(out.emitted);
        EXPECT_EQ(out.consumed, 1u);
        w.erase(w.begin(), w.begin() + out.consumed);
        EXPECT_TRUE(frame(w, flushed, sink).emitted);
        EXPECT_EQ(sink.records().at(0), kRecA);
    }
}

TEST(RecordFramer, StreamingWindowKeepsAnUnconfirmedRecordWhenItDoesNotStartTheWindow) {
    CollectingSink sink;
    // Record complete but its end not confirmed (next sync not in the window yet).
    EXPECT_EQ(frame(noise(6) + kRecA, false, sink).consumed, 6u);
    EXPECT_TRUE(sink.records().empty());
    // At the start of a streaming window with only noise after it, it cannot be confirmed.
    EXPECT_EQ(frame(kRecA + noise(6), false, sink).consumed, kRecA.size() + 6);
    EXPECT_TRUE(sink.records().empty());
}

TEST(RecordFramer, SyncPairInsideParameters) {
    // Parameter 0x0000A5A5 puts A5 A5 inside the record.
    const Bytes inner = buildRecord({.layout = 4, .index = 9, .params = {0xA5A5, 7}});
    {  // Followed by a sync: kept whole.
        CollectingSink sink;
        const FrameOutcome out = frame(inner + kRecB, false, sink);
        EXPECT_TRUE(out.emitted);
        EXPECT_EQ(out.consumed, inner.size());
        EXPECT_EQ(sink.records().at(0), inner);
    }
    {  // Ends exactly at the end of a flushed window.
        CollectingSink sink;
        const FrameOutcome out = frame(inner, true, sink);
        EXPECT_TRUE(out.emitted);
        EXPECT_TRUE(sink.items().at(0).last);
    }
    {  // One byte A5 after it in a flushed window: wait for the next byte.
        CollectingSink sink;
        EXPECT_EQ(frame(noise(2) + inner + Bytes{0xA5}, true, sink).consumed, 2u);
        EXPECT_TRUE(sink.records().empty());
    }
    {  // Followed by noise: not a well delimited record; scanning resumes at the inner pair.
        CollectingSink sink;
        const FrameOutcome out = frame(inner + noise(4) + kRecB, false, sink);
        EXPECT_FALSE(out.emitted);
        EXPECT_EQ(out.consumed,
                  9u);  // the inner pair is the first parameter's low bytes at offset 9
    }
}

TEST(RecordFramer, RecordLongerThanAStreamingWindowIsNeverFramedLive) {
    std::vector<std::uint32_t> params(126, 0x01020304);
    const Bytes big = buildRecord({.layout = 4, .params = params});
    ASSERT_GT(big.size(), 512u);
    CollectingSink sink;
    const Bytes w(big.begin(), big.begin() + 512);
    const FrameOutcome out = frame(w, false, sink);
    EXPECT_FALSE(out.emitted);
    EXPECT_EQ(out.consumed, 512u);
}

}  // namespace
}  // namespace nimbrel
