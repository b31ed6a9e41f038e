// The drain at a stop: a capture that ends frames, shows and records everything still
// waiting in the ring before its print thread ends, and the shutdown waits for that
// (2,000 ms for File > New, 5,000 ms for the close). How long it takes for a backlog of
// simulated records, up to a ring filled to the overrun threshold, with raw data saving
// off and on (every entry opens and closes the raw data file).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "capture/capture_session.h"
#include "pipeline/line_output.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/print_thread.h"
#include "sim/log_generator.h"

namespace {

using namespace nimbrel;

struct DiscardLines : LineOutput {
    void writeLine(std::u16string_view, Rgb) override {}
};

void BM_DrainAtStop(benchmark::State& state) {
    const auto backlog = static_cast<std::size_t>(state.range(0));
    const bool saveRaw = state.range(1) != 0;
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("nimbrel_bench_drain_" + std::to_string(::getpid())))
                                   .string();
    std::filesystem::create_directories(folder);

    std::vector<std::uint8_t> stream;
    sim::LogGenerator generator(7);
    std::uint64_t records = 0;
    while (stream.size() < backlog) {
        const auto& r = generator.next().bytes;
        if (stream.size() + r.size() > backlog) break;
        stream.insert(stream.end(), r.begin(), r.end());
        ++records;
    }

    for (auto _ : state) {
        state.PauseTiming();
        MemoryLogView view;
        DiscardLines out;
        CaptureSession core(view, folder);
        core.reloadDefinitions(std::string(NIMBREL_DATA_DIR) + "/LOG1.h");
        core.formatter.setLineOutput(&out);
        core.hub.setAutoSaveRawData(saveRaw);
        core.hub.rawDataFile.setName(folder + "/RawData_bench.log");
        core.hub.allocateRing();
        core.hub.ring.append(stream.data(), static_cast<std::uint32_t>(stream.size()));
        core.hub.setPrintThreadQuit(true);  // the stop's request
        PrintThread thread(core.hub, core.emitter, [](unsigned) {});
        state.ResumeTiming();

        const bool more = thread.pass();  // the one pass that drains everything
        benchmark::DoNotOptimize(more);

        state.PauseTiming();
        if (core.hub.counters.recordsFramed() != records) state.SkipWithError("records lost");
        std::filesystem::remove(folder + "/RawData_bench.log");
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(records);
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records),
                                                     benchmark::Counter::kIsIterationInvariantRate);
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_DrainAtStop)
    ->ArgsProduct({{64 << 10, 1 << 20, kOverrunThreshold}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
