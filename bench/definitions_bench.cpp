// Message definitions: loading a 10,000-line definition file, and applying compiled
// formats at replay speed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/printf_engine.h"
#include "pipeline/string_filter.h"

namespace {

using namespace nimbrel;

std::string generatedDefinitions(int lines) {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 80);
    text += "// generated message definitions\r\n#pragma once\r\n\r\n";
    for (int i = 0; i < lines; ++i) {
        const int index = (i * 7) % 65536;
        switch (i % 4) {
        case 0:
            text += "#define MSG_CONN_" + std::to_string(i) + " " + std::to_string(index) +
                    " //\"conn %d, handle %x, state %u\"\r\n";
            break;
        case 1:
            text += "#define MSG_NAME_" + std::to_string(i) + " " + std::to_string(index) +
                    " //\"device name: %s\"\r\n";
            break;
        case 2:
            text += "#define MSG_PLAIN_" + std::to_string(i) + " " + std::to_string(index) +
                    " //\"link supervision timeout reached on this connection\"\r\n";
            break;
        default:
            text += "    /* comment line without a definition " + std::to_string(i) + " */\r\n";
            break;
        }
    }
    return text;
}

void BM_LoadDefinitionFile10k(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("nimbrel_bench_defs_" + std::to_string(::getpid()) + ".h"))
                                 .string();
    std::ofstream(path, std::ios::binary) << generatedDefinitions(10000);
    MemoryLogView view;
    StringFilter filter;
    LogConsole console(view, filter);
    MessageDefinitionTable table;
    for (auto _ : state) {
        const bool ok = table.load(path, console);
        benchmark::DoNotOptimize(ok);
    }
    state.counters["defined"] = static_cast<double>(table.definedCount());
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadDefinitionFile10k)->Unit(benchmark::kMillisecond);

void BM_LoadFromText10k(benchmark::State& state) {
    const std::string text = generatedDefinitions(10000);
    MessageDefinitionTable table;
    for (auto _ : state) {
        table.loadFromText(text);
        benchmark::DoNotOptimize(table.entry(7).expectedParams);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LoadFromText10k)->Unit(benchmark::kMillisecond);

void BM_ApplyWords(benchmark::State& state) {
    const CompiledFormat format(u"conn %d, handle %x, state %u");
    const std::uint32_t params[] = {1, 300, 0xFFFFFFFF};
    std::u16string out;
    out.reserve(256);
    for (auto _ : state) {
        out.clear();
        format.applyWords(out, params, 3);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyWords);

void BM_ApplyWordsWidthsAndFlags(benchmark::State& state) {
    const CompiledFormat format(u"[%08X] %-6d|%+5i|%#o|%.4x|%5c");
    const std::uint32_t params[] = {0xDEADBEEF, 42, 0xFFFFFFF0, 8, 0xAB, 'Q'};
    std::u16string out;
    out.reserve(256);
    for (auto _ : state) {
        out.clear();
        format.applyWords(out, params, 6);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyWordsWidthsAndFlags);

void BM_ApplyString(benchmark::State& state) {
    const CompiledFormat format(u"device name: %s (%-12s)");
    const std::u16string name = u"Corvane Headset 2000";
    std::u16string out;
    out.reserve(256);
    for (auto _ : state) {
        out.clear();
        format.applyString(out, name);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyString);

void BM_FormatPrintfConsole(benchmark::State& state) {
    for (auto _ : state) {
        std::u16string line =
            formatPrintf(u"[G] Write Log to File(%s) %d bytes", {u"/tmp/x.raw", 4096});
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatPrintfConsole);

}  // namespace

BENCHMARK_MAIN();
