// The capture spine end to end: a generated stream of valid records of all twelve layouts,
// cut into random chunks, must come out of the print thread exactly once each and in order,
// however it was cut, and the raw data file must hold every record behind a stamp.
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "pipeline/capture_hub.h"
#include "pipeline/print_thread.h"
#include "pipeline/message_definition_table.h"
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
    hub.m_printThreadQuit = false;
    hub.m_writeThreadQuit = false;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        const std::size_t n = std::min(nextChunk(), stream.size() - pos);
        hub.ring.append(stream.data() + pos, static_cast<std::uint32_t>(n));
        pos += n;
        // A pause of a random number of passes; long enough now and then to flush.
        const int passes = std::uniform_int_distribution<int>(0, 25)(rng);
        for (int i = 0; i < passes; ++i) thread.pass();
        // Never let the producer lap the reader in this test.
        while (hub.ring.writePosition() - hub.readState.readPosition > BigBuffer::kSize / 2) thread.pass();
    }
    hub.m_writeThreadQuit = true;
    int guard = 0;
    while (thread.pass()) {
        if (++guard > 1000000) {
            ADD_FAILURE() << "print thread did not end";
            break;
        }
    }
    EXPECT_EQ(hub.counters.overrunBytes.load(), 0u);
    return sink.records();
}

TEST(CaptureStreamProperty, SameRecordsWhetherFedWholeInRandomChunksOrByteByByte) {
    const Stream s = makeStream(3000, 7);
    std::mt19937 rng(11);
    const auto whole = frameInChunks(s.bytes, [] { return std::size_t{1} << 20; }, rng);
    EXPECT_EQ(whole, s.records);
    const auto chunks =
        frameInChunks(s.bytes, [&rng] { return std::uniform_int_distribution<std::size_t>(1, 600)(rng); }, rng);
    EXPECT_EQ(chunks, s.records);
    const auto bytes = frameInChunks(s.bytes, [] { return std::size_t{1}; }, rng);
    EXPECT_EQ(bytes, s.records);
}

TEST(CaptureStreamProperty, ProducerThreadAndRealPrintThreadLoseNothing) {
    test::TempDir dir;
    const Stream s = makeStream(100000, 2024);

    CaptureHub hub(dir.path());
    CollectingSink display;
    MessageDefinitionTable definitions;
    definitions.loadFromText("");
    RecordEmitter emitter(display, definitions, hub.rawDataFile, hub.m_bAutoSaveRawData);
    hub.m_bAutoSaveRawData = true;
    hub.rawDataFile.setName(dir.file("raw.log"));
    hub.allocateRing();
    hub.m_writeThreadQuit = false;
    hub.startPrintThreadIfIdle(emitter);
    EXPECT_FALSE(hub.m_printThreadQuit.load());

    std::thread producer([&] {
        std::mt19937 rng(99);
        std::size_t pos = 0;
        while (pos < s.bytes.size()) {
            const std::size_t n =
                std::min(std::uniform_int_distribution<std::size_t>(1, 600)(rng), s.bytes.size() - pos);
            // A real device is far slower than the ring; keep well clear of an overrun.
            while (hub.ring.writePosition() - hub.counters.readPosition.load() > BigBuffer::kSize / 2) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            hub.ring.append(s.bytes.data() + pos, static_cast<std::uint32_t>(n));
            pos += n;
            if (std::uniform_int_distribution<int>(0, 199)(rng) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 15)(rng)));
            }
        }
    });
    producer.join();
    hub.m_writeThreadQuit = true;
    ASSERT_TRUE(hub.m_printThread.waitFor(std::chrono::seconds(120)));
    EXPECT_TRUE(hub.m_printThreadQuit.load());

    EXPECT_EQ(hub.counters.overrunBytes.load(), 0u);
    EXPECT_EQ(hub.counters.recordsFramed.load(), s.records.size());
    const auto framed = display.records();
    ASSERT_EQ(framed.size(), s.records.size());
    EXPECT_TRUE(framed == s.records);
    const auto recorded = test::recordsOfRawDataFile(test::readFileBytes(dir.file("raw.log")), s.records);
    EXPECT_EQ(recorded.size(), s.records.size());
    EXPECT_TRUE(recorded == s.records);
}

}  // namespace
}  // namespace nimbrel
