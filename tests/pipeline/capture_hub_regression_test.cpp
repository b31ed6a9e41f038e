// Faults found by running the capture tests under ThreadSanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "pipeline/capture_hub.h"
#include "support/record_builder.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;
using test::CollectingSink;

// A producer throttled by waitForRoom overwrites ring bytes that the print thread read on
// an earlier lap. The read position it waits on must be published with release ordering
// (and acquired by the producer); with relaxed ordering nothing ordered the print thread's
// reads before the producer's writes: a data race that ThreadSanitizer reports here.
TEST(CaptureHubRegression, ProducerWaitingForRoomLapsTheRingWithoutLossOrRace) {
    CaptureHub hub("/nonexistent");
    CollectingSink sink;
    hub.allocateRing();
    hub.setWriteThreadQuit(false);
    hub.startPrintThreadIfIdle(sink);

    // Records of 497 bytes: one streaming window holds a record and the next sync pair.
    std::vector<Bytes> records;
    Bytes stream;
    while (stream.size() < BigBuffer::kSize + BigBuffer::kSize / 4) {
        const auto i = static_cast<std::uint32_t>(records.size());
        records.push_back(buildRecord({.layout = 4,
                                       .index = static_cast<std::uint16_t>(i),
                                       .params = std::vector<std::uint32_t>(122, i)}));
        stream.insert(stream.end(), records.back().begin(), records.back().end());
    }
    std::thread producer([&] {
        for (std::size_t at = 0; at < stream.size();) {
            const auto n =
                static_cast<std::uint32_t>(std::min<std::size_t>(4096, stream.size() - at));
            hub.waitForRoom(n);
            hub.ring.append(stream.data() + at, n);
            at += n;
        }
    });
    producer.join();
    hub.setWriteThreadQuit(true);
    ASSERT_TRUE(hub.m_printThread.waitFor(std::chrono::seconds(120)));

    EXPECT_EQ(hub.counters.overrunBytes(), 0u);
    EXPECT_EQ(hub.readState.readPosition, stream.size());
    EXPECT_TRUE(sink.records() == records);
}

}  // namespace
}  // namespace nimbrel
