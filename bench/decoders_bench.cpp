// Decode rate of each protocol decoder, in records per second, over records that cycle
// through every row of its table and a few codes without a row. "Decode" returns a new string per
// record; "Append" reuses one buffer the way a line builder would.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/decoder_tables.h"
#include "decoders/decoders.h"

namespace {

using nimbrel::ParamWords;

// Records of `wordCount` words whose word `codeWord` takes each of `codes` in turn; the
// other words hold varied byte values.
std::vector<std::vector<std::uint32_t>> makeRecords(const std::vector<std::uint32_t>& codes,
                                                    std::size_t codeWord, std::size_t wordCount,
                                                    std::uint32_t fixedWord1 = 0,
                                                    bool useFixedWord1 = false) {
    std::vector<std::vector<std::uint32_t>> records;
    std::uint32_t seed = 12345;
    for (const std::uint32_t code : codes) {
        std::vector<std::uint32_t> words(wordCount);
        for (std::uint32_t& w : words) {
            seed = seed * 1103515245u + 12345u;
            w = (seed >> 16) & 0xFF;
        }
        if (useFixedWord1) {
            words[1] = fixedWord1;
        }
        words[codeWord] = code;
        records.push_back(std::move(words));
    }
    return records;
}

// The codes of a table's rows (every code of a shared row).
std::vector<std::uint32_t> rowCodes(const nimbrel::decoding::DecodeTable& table) {
    std::vector<std::uint32_t> codes;
    for (const auto& row : table.rows) {
        for (std::uint32_t c = row.code; c <= row.lastCode; ++c) {
            codes.push_back(c);
        }
    }
    return codes;
}

template <std::u16string (*Decode)(ParamWords)>
void runDecode(benchmark::State& state, const std::vector<std::vector<std::uint32_t>>& records) {
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& words = records[i];
        i = i + 1 == records.size() ? 0 : i + 1;
        benchmark::DoNotOptimize(Decode(ParamWords{words.data(), words.size()}));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

template <void (*Append)(std::u16string&, ParamWords)>
void runAppend(benchmark::State& state, const std::vector<std::vector<std::uint32_t>>& records) {
    std::u16string line;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& words = records[i];
        i = i + 1 == records.size() ? 0 : i + 1;
        line.clear();
        Append(line, ParamWords{words.data(), words.size()});
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// Every row once, plus a few codes without a row.
const auto& hciCommands() {
    static const auto records = [] {
        std::vector<std::uint32_t> codes = rowCodes(nimbrel::decoding::kHciCommandTable);
        codes.insert(codes.end(), {0x0407, 0x0C02, 0x2004, 0xFC01});
        return makeRecords(codes, 0, 22);
    }();
    return records;
}
const auto& hciEvents() {
    static const auto records = [] {
        std::vector<std::uint32_t> codes = rowCodes(nimbrel::decoding::kHciEventTable);
        codes.insert(codes.end(), {0x00, 0x10, 0xFF});
        auto r = makeRecords(codes, 0, 22);
        for (const std::uint32_t sub : rowCodes(nimbrel::decoding::kLeMetaSubeventTable)) {
            r.push_back(makeRecords({0x3E}, 0, 22).front());
            r.back()[2] = sub;
        }
        return r;
    }();
    return records;
}
const auto& lmpBasic() {
    static const auto records = [] {
        std::vector<std::uint32_t> codes = rowCodes(nimbrel::decoding::kLmpTable);
        codes.insert(codes.end(), {0, 22, 200});
        return makeRecords(codes, 1, 15);
    }();
    return records;
}
const auto& lmpExtended() {
    static const auto records = [] {
        std::vector<std::uint32_t> codes = rowCodes(nimbrel::decoding::kLmpExtTable);
        codes.insert(codes.end(), {0, 5, 40});
        return makeRecords(codes, 2, 16, 127, true);
    }();
    return records;
}

void BM_DecodeHciCommand(benchmark::State& s) {
    runDecode<nimbrel::DecodeHciCommand>(s, hciCommands());
}
void BM_DecodeHciEvent(benchmark::State& s) { runDecode<nimbrel::DecodeHciEvent>(s, hciEvents()); }
void BM_DecodeLmpSent(benchmark::State& s) { runDecode<nimbrel::DecodeLmpSent>(s, lmpBasic()); }
void BM_DecodeLmpSentExt(benchmark::State& s) {
    runDecode<nimbrel::DecodeLmpSentExt>(s, lmpExtended());
}
void BM_DecodeLmpReceived(benchmark::State& s) {
    runDecode<nimbrel::DecodeLmpReceived>(s, lmpBasic());
}
void BM_DecodeLmpReceivedExt(benchmark::State& s) {
    runDecode<nimbrel::DecodeLmpReceivedExt>(s, lmpExtended());
}
void BM_AppendHciCommand(benchmark::State& s) {
    runAppend<nimbrel::AppendHciCommand>(s, hciCommands());
}
void BM_AppendHciEvent(benchmark::State& s) { runAppend<nimbrel::AppendHciEvent>(s, hciEvents()); }
void BM_AppendLmpSent(benchmark::State& s) { runAppend<nimbrel::AppendLmpSent>(s, lmpBasic()); }
void BM_AppendLmpSentExt(benchmark::State& s) {
    runAppend<nimbrel::AppendLmpSentExt>(s, lmpExtended());
}

BENCHMARK(BM_DecodeHciCommand);
BENCHMARK(BM_DecodeHciEvent);
BENCHMARK(BM_DecodeLmpSent);
BENCHMARK(BM_DecodeLmpSentExt);
BENCHMARK(BM_DecodeLmpReceived);
BENCHMARK(BM_DecodeLmpReceivedExt);
BENCHMARK(BM_AppendHciCommand);
BENCHMARK(BM_AppendHciEvent);
BENCHMARK(BM_AppendLmpSent);
BENCHMARK(BM_AppendLmpSentExt);

}  // namespace

BENCHMARK_MAIN();
