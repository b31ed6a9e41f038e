// Writes the seed corpora of the fuzz targets from the controller simulator and the demo
// definitions:
//
//   nimbrel_fuzz_seeds CORPUS_ROOT LOG1_H
//
// creates CORPUS_ROOT/<target>/<name> for the targets framer_ring, definitions_printf,
// replay_formatter, decoders and text. The same program always writes the same files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/message_indices.h"
#include "sim/log_generator.h"
#include "sim/message_catalog.h"
#include "sim/raw_file_writer.h"
#include "sim/record_encoder.h"

namespace {

using namespace nimbrel::sim;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path g_root;
int g_written = 0;

bool write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
        return false;
    }
    ++g_written;
    return true;
}

void putU16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes simStream(std::uint64_t seed, int records) {
    LogGenerator generator(seed);
    Bytes out;
    for (int i = 0; i < records; ++i) {
        const SimRecord& r = generator.next();
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    return out;
}

Bytes simRawFile(std::uint64_t seed, int records) {
    LogGenerator generator(seed);
    RawFileEncoder encoder;
    Bytes out;
    for (int i = 0; i < records; ++i) encoder.append(generator.next(), out);
    encoder.finish(out);
    return out;
}

// ---- framer_ring: 16-bit commands (chunk length in bits 0-9, passes in bits 10-15) ----

// The stream in device reads of 1..maxChunk bytes, each followed by a few passes; now and
// then a quiet stretch long enough for the print thread to flush.
Bytes chunked(const Bytes& stream, std::uint32_t seed, unsigned maxChunk) {
    std::mt19937 rng(seed);
    Bytes out;
    std::size_t at = 0;
    while (at < stream.size()) {
        const unsigned n = std::min<std::size_t>(
            std::uniform_int_distribution<unsigned>(1, maxChunk)(rng), stream.size() - at);
        const unsigned passes = std::uniform_int_distribution<unsigned>(0, 3)(rng);
        putU16(out, n | passes << 10);
        out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                   stream.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        if (std::uniform_int_distribution<unsigned>(0, 5)(rng) == 0)
            putU16(out, 12u << 10);  // quiet: flush
    }
    return out;
}

void framerSeeds() {
    const std::string t = "framer_ring";
    write(t, "steady_stream", chunked(simStream(1, 60), 1, 512));
    write(t, "small_reads", chunked(simStream(2, 25), 2, 7));
    write(t, "bursts_and_quiet", chunked(simStream(3, 80), 3, 1023));

    // Noise between records: line noise, a lone A5, a cut record.
    Bytes noisy;
    LogGenerator generator(4);
    std::mt19937 rng(4);
    for (int i = 0; i < 40; ++i) {
        const Bytes& r = generator.next().bytes;
        switch (i % 5) {
        case 0: noisy.insert(noisy.end(), {0x00, 0x13, 0x37}); break;
        case 1: noisy.push_back(0xA5); break;
        case 2:
            noisy.insert(noisy.end(), r.begin(),
                         r.begin() + static_cast<std::ptrdiff_t>(r.size() / 2));
            break;
        default: break;
        }
        noisy.insert(noisy.end(), r.begin(), r.end());
    }
    write(t, "noise_between_records", chunked(noisy, 5, 300));

    // Records with A5 A5 among their parameters and a record longer than a window.
    Bytes odd;
    encodeRecord({4, 1, 1337, 7}, std::vector<std::uint32_t>{0xA5A50001u, 0x12345678u}, odd);
    encodeRecord({8, 2, 40, 1}, std::vector<std::uint32_t>{0xA5, 0xA5, 0x41, 0}, odd);
    encodeRecord({4, 3, 41, 2}, std::vector<std::uint32_t>(140, 0x01020304u), odd);
    encodeRecord({0, 1, 2, 3}, {}, odd);
    encodeRecord({2, 1, 2, 3, 9}, {}, odd);
    write(t, "inner_sync_and_long_record", chunked(odd, 6, 200));

    // A producer that runs a lap ahead of the reader, then more records.
    Bytes lapped = chunked(simStream(7, 10), 7, 512);
    putU16(lapped, 63u << 10);
    putU16(lapped, 2000);
    const Bytes after = chunked(simStream(8, 10), 8, 512);
    lapped.insert(lapped.end(), after.begin(), after.end());
    write(t, "producer_laps_reader", lapped);

    Bytes zeros;
    putU16(zeros, 600 | 2u << 10);
    zeros.resize(zeros.size() + 600, 0);
    write(t, "only_zero_bytes", zeros);
}

// ---- definitions_printf: N, N words, string length, string, definition text ----------

Bytes definitionSeed(const std::vector<std::uint32_t>& words, const std::string& string,
                     const std::string& text) {
    Bytes out{static_cast<std::uint8_t>(words.size())};
    for (const std::uint32_t w : words) putU32(out, w);
    out.push_back(static_cast<std::uint8_t>(string.size()));
    out.insert(out.end(), string.begin(), string.end());
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

void definitionSeeds(const std::string& demoText) {
    const std::string t = "definitions_printf";
    const std::vector<std::uint32_t> words{1, 300, 0xFFFFFFFFu, 0x80000000u, 42, 0, 7, 0xA5A5};
    write(t, "demo_definitions", definitionSeed(words, std::string("AB\0C", 4), demoText));
    write(t, "delimiters",
          definitionSeed(words, "name",
                         "#define A 7 // text\n"
                         "// #define X 5 //\"t\"\n"
                         "#define\tB 9 //\"tab\"\n"
                         "#define C\t11 //\"tab before index\"\n"
                         "#define D 0x54B //\"hex index %x\"\n"
                         "#define E -3 //\"negative\"\n"
                         "#define F 65536 //\"too big\"\n"
                         "#define G 65535 //\"dump %d\"\r\n"
                         "#define H 12 //\"\n"
                         "#define I 13 //\n"
                         "#define J 14//\"no blank before slashes\"\n"));
    write(t, "repeated_index",
          definitionSeed(
              {5, 6}, "",
              "#define A 7 //\"x\"\n#define B 7 //\"y %d\"\n#define C 7 //\"%s and %d\"\n"));
    write(t, "conversions",
          definitionSeed(words, "string arg",
                         "#define A 1 //\"%-8d|%+d|% d|%08.3d|%#o|%#x|%#X|%.0d|%5.2u\"\n"
                         "#define B 2 //\"%hhd %hd %ld %lld %I64d %I32u %zu %jd %qd %wc\"\n"
                         "#define C 3 //\"%n %p %f %e %g %a %*d %.*d %s %S %c %C\"\n"
                         "#define D 4 //\"%1023d|%99999999999d|%.99999999999x\"\n"
                         "#define E 5 //\"100%% done %\"\n"
                         "#define F 6 //\"%y %! %5\"\n"
                         "#define G 7 //\"%-10s|%10.3s|%.0s\"\n"));
    std::string longText = "#define LONG 8 //\"";
    for (int i = 0; i < 40; ++i) longText += "%d value ";
    longText += "\"\n";
    write(t, "long_text",
          definitionSeed(std::vector<std::uint32_t>(40, 0x11223344u), "", longText));
    write(t, "no_definitions", definitionSeed({}, "", "int main(void) { return 0; }\n\n\r\n"));
    static constexpr char kWithZeros[] = "#define A 3 //\"a\0b %d\"\n#def\0ine B 4 //\"c\"\n";
    write(t, "zero_bytes",
          definitionSeed({3}, std::string("\0\0", 2),
                         std::string(kWithZeros, sizeof kWithZeros - 1)));
}

// ---- replay_formatter: view state byte, then the raw data file -----------------------

void replaySeeds() {
    const std::string t = "replay_formatter";
    // State bits: 0 Ember, 1 Flint, 2 Auto Fix TimeStamp, 3-4 route, 5 paused, 6 filter.
    auto seed = [](std::uint8_t state, const Bytes& file) {
        Bytes out{state};
        out.insert(out.end(), file.begin(), file.end());
        return out;
    };
    write(t, "sim_100_records", seed(0x04 | 1u << 3, simRawFile(11, 100)));
    write(t, "sim_ember_flint", seed(0x07 | 2u << 3, simRawFile(12, 80)));
    write(t, "sim_no_stamp_fix", seed(0x00, simRawFile(13, 60)));
    write(t, "sim_paused_filtered", seed(0x64 | 3u << 3, simRawFile(14, 60)));

    // Damaged files: cut in the middle of a record, stamps garbled, bad layouts.
    Bytes cut = simRawFile(15, 30);
    cut.resize(cut.size() - 7);
    write(t, "cut_last_record", seed(0x04, cut));

    Bytes garbled = simRawFile(16, 40);
    std::mt19937 rng(16);
    for (int i = 0; i < 60; ++i)
        garbled[std::uniform_int_distribution<std::size_t>(0, garbled.size() - 1)(rng)] ^= 0x5A;
    write(t, "garbled", seed(0x04 | 1u << 3, garbled));

    Bytes odd{0xA5, 0xA5};  // a record without its stamp at the start of the file
    encodeRecord({3, 1, 2, 3, 4, 5}, {}, odd);
    odd.insert(odd.end(), {0xA5, 0xA5, 0x1E, 0x5A, 0, 0, 0, 0, 0});  // layout 15
    encodeRecord({11, 2, 1337, 1, 2, 3}, std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7},
                 odd);  // odd byte count
    encodeRecord({8, 1, 65535, 0}, std::vector<std::uint32_t>{0xA5, 0xA5, 1, 2},
                 odd);                                                          // dump with A5 A5
    encodeRecord({4, 1, 1355, 0}, std::vector<std::uint32_t>{0x0C03, 0}, odd);  // short HCI command
    encodeRecord({8, 1, 1358, 0}, std::vector<std::uint32_t>{0x0E, 4}, odd);    // HCI event, bytes
    write(t, "odd_records", seed(0x07, odd));
}

// ---- decoders: decoder selector, then the words --------------------------------------

void decoderSeeds() {
    const std::string t = "decoders";
    struct Wanted {
        std::uint16_t index;
        int selector;
        int written = 0;
    };
    using namespace nimbrel;
    Wanted wanted[] = {{kHciCommandIndex, 0}, {kHciEventIndex, 1},    {kLmpSentIndex, 2},
                       {kLmpSentExtIndex, 3}, {kLmpReceivedIndex, 4}, {kLmpReceivedExtIndex, 5}};
    LogGenerator generator(21);
    for (int i = 0; i < 20000; ++i) {
        const SimRecord& r = generator.next();
        for (Wanted& w : wanted) {
            if (r.fields.messageIndex != w.index || w.written >= 4 || r.fields.layout < 4 ||
                r.fields.layout > 7)
                continue;
            Bytes out{static_cast<std::uint8_t>(w.selector)};
            for (const std::uint32_t word : r.params) putU32(out, word);
            write(t, "sim_" + std::to_string(w.index) + "_" + std::to_string(w.written++), out);
        }
    }
    // Fewer words than the decoders read.
    for (int selector = 0; selector < 6; ++selector) {
        Bytes out{static_cast<std::uint8_t>(selector)};
        putU32(out, selector < 2 ? 0x0C03u : 127u);
        putU32(out, 0x7F);
        write(t, "two_words_" + std::to_string(selector), out);
    }
    write(t, "no_words", Bytes{0});
}

// ---- text: bytes as UTF-8 and as UTF-16LE units --------------------------------------

void textSeeds() {
    const std::string t = "text";
    auto bytes = [](std::string_view s) { return Bytes(s.begin(), s.end()); };
    write(t, "ascii_line",
          bytes("12:34:56.789  [COM] [G] [00042] [007] [000] [00000] conn 1, handle 12c\n"));
    write(t, "utf8_mixed",
          bytes("File path: /home/\xe5\xae\x8b\xe4\xbd\x93/\xf0\x9f\x93\xa1 caf\xc3\xa9\r\n"));
    write(t, "utf8_invalid",
          bytes("\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82 \x80 \xff\xfe end"));
    // UTF-16LE with a byte-order mark, a surrogate pair and an unpaired surrogate.
    write(t, "utf16le",
          Bytes{0xFF, 0xFE, 'L', 0, 'o', 0, 'g', 0, 0x3D, 0xD8, 0x21, 0xDE, 0x00, 0xDC, '\n', 0});
    std::string longAscii;
    while (longAscii.size() < 700) longAscii += "[R] File \"raw.log\" doesn't exist. ";
    longAscii += "\xe2\x9c\x93";
    write(t, "long_ascii_then_utf8", bytes(longAscii));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CORPUS_ROOT LOG1_H\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    const std::string demoText((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());

    framerSeeds();
    definitionSeeds(demoText);
    replaySeeds();
    decoderSeeds();
    textSeeds();
    std::printf("%d seed files written under %s\n", g_written, g_root.c_str());
    return 0;
}
