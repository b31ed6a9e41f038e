// Composes the text of one framed record:
//   time  route-tag colour-tag [line]  [info] [extraByte] [extraWord]  message text
// with the decoded packet below it for HCI and LMP records when Auto Parse Log is on, and
// the colour the line is shown in. What becomes of the line (pause, filter, numbering,
// output) is the RecordFormatter's business. The texts of a line are kept letter for letter
// as users and their tools know them, odd spellings included: do not correct them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pipeline/formatter_state.h"
#include "pipeline/log_view.h"
#include "pipeline/raw_data_file.h"
#include "pipeline/record_framer.h"

namespace nimbrel {

class MessageDefinitionTable;
struct MessageEntry;

// Records with more 32-bit parameters than this show their text unfilled.
inline constexpr std::uint32_t kMaxFormattedParams = 32;

// A replay stamp that can stand as a time of day.
bool isPlausibleStamp(const RawStamp& stamp);
// Adds one millisecond, carrying into seconds, minutes and hours (the hour is not wrapped
// and the date is not touched).
void advanceStampByOneMillisecond(RawStamp& stamp);

struct ComposedLine {
    std::u16string& text;  // the composer's buffer: valid until the next compose
    Rgb colour;
    bool parameterError;  // the record does not fit its definition
    bool undefinedIndex;  // the definition file does not define the record's index
};

// Not thread-safe: one caller at a time (the formatter calls it under its lock).
class RecordLineComposer {
public:
    RecordLineComposer(const MessageDefinitionTable& definitions, const FormatterToggles& toggles);

    // The line of `record` numbered `lineNumber`. `stamp` is the record's raw data stamp
    // during a replay, nullptr during a live capture (the local time now is shown).
    ComposedLine compose(const RecordRef& record, const RawStamp* stamp, std::int64_t lineNumber);

    // A replay starts: the remembered stamp goes back to nine zero bytes.
    void resetLastStamp() { m_lastStamp = RawStamp{}; }

private:
    void appendBody(const RecordRef& record, const MessageEntry& e, std::uint32_t n, bool matched,
                    bool& decoded);

    const MessageDefinitionTable& definitions_;
    const FormatterToggles& toggles_;
    RawStamp m_lastStamp{};

    // Reused for every record: no allocation once they have grown.
    std::u16string line_;
    std::u16string decoded_;
    std::u16string scratch_;
};

}  // namespace nimbrel
