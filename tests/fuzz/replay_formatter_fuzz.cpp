// Raw data file fuzzing: the replay scan finds the records of a file of any bytes and the
// record formatter turns each into a line, with the demo definitions (data/LOG1.h) loaded
// and Auto Parse Log on, so HCI and LMP records also run through the decoders. Lines go to
// an output that checks and discards them.
//
// Input: byte 0 chooses the view's state, the rest is the raw data file.
//   bit 0  Ember chip type       bit 1  Flint chip type (both: HCI records skip a word)
//   bit 2  Auto Fix TimeStamp    bits 3-4  capture route last started (none, COM,
//                                          filter driver, UART driver)
//   bit 5  paused until the scan passes half of the file, then Continue
//   bit 6  a filter string ("[R]") hides the red lines
//
// Checked: every record the scan hands over is shown, held back or filtered (no line is
// lost or made up); each delivered line ends in exactly one newline; progress grows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "files/raw_data_replay.h"
#include "fuzz_check.h"
#include "pipeline/formatter_state.h"
#include "pipeline/line_output.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_formatter.h"
#include "pipeline/string_filter.h"

#ifndef NIMBREL_FUZZ_DEFINITIONS
#define NIMBREL_FUZZ_DEFINITIONS "data/LOG1.h"
#endif

namespace {

using namespace nimbrel;

class DiscardingOutput : public LineOutput {
public:
    void writeLine(std::u16string_view line, Rgb) override {
        FUZZ_CHECK(!line.empty() && line.back() == u'\n');
        FUZZ_CHECK(line.size() == 1 || line[line.size() - 2] != u'\n');
        ++lines;
    }
    std::uint64_t lines = 0;
};

const MessageDefinitionTable& demoDefinitions() {
    static const MessageDefinitionTable* table = [] {
        const char* path = std::getenv("NIMBREL_FUZZ_DEFINITIONS");
        if (!path) path = NIMBREL_FUZZ_DEFINITIONS;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read the definitions %s (set NIMBREL_FUZZ_DEFINITIONS)\n",
                         path);
            std::abort();
        }
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        auto* t = new MessageDefinitionTable();
        t->loadFromText(text);
        return t;
    }();
    return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MessageDefinitionTable& definitions = demoDefinitions();
    if (size == 0) return 0;
    const std::uint8_t state = data[0];
    const std::uint8_t* file = data + 1;
    const std::uint64_t fileSize = size - 1;

    MemoryLogView view;
    StringFilter filter;
    if (state & 0x40) filter.replaceAll({u"[R]"});
    LogConsole console(view, filter);
    FormatterToggles toggles;
    toggles.setAutoParseLog(true);
    toggles.setEmberType((state & 0x01) != 0);
    toggles.setFlintType((state & 0x02) != 0);
    toggles.setAutoFixTimeStamp((state & 0x04) != 0);
    static constexpr CaptureRoute kRoutes[4] = {CaptureRoute::None, CaptureRoute::Com,
                                                CaptureRoute::Filter, CaptureRoute::Uart};
    toggles.setThreadId(kRoutes[(state >> 3) & 3]);
    toggles.setPaused((state & 0x20) != 0);

    RecordFormatter formatter(definitions, console, toggles);
    DiscardingOutput output;
    formatter.setLineOutput(&output);
    formatter.resetLastStamp();

    const std::atomic<bool> stop{false};
    int lastPercent = 0;
    const ReplayScanResult result =
        scanRawData(file, fileSize, formatter, console, stop, [&](int percent) {
            FUZZ_CHECK(percent > lastPercent && percent < 100);
            lastPercent = percent;
            if (percent >= 50) formatter.setPaused(false);
        });
    FUZZ_CHECK(!result.cancelled);
    FUZZ_CHECK(result.records <= fileSize / kRecordHeaderSize);
    // Every record took one line number, whether shown, held back or filtered.
    FUZZ_CHECK(formatter.lineNumber() == static_cast<std::int64_t>(result.records) + 1);
    // Neither paused nor filtered: every record gave one line.
    if (!(state & 0x60)) FUZZ_CHECK(output.lines == result.records);
    return 0;
}
