// Turns one framed record into one line of the log view:
//   time  route-tag colour-tag [line]  [info] [extraByte] [extraWord]  message text
// with the decoded packet below it for HCI and LMP records when Auto Parse Log is on.
// The line goes to the view in the record's colour unless the display is paused (held
// back) or a filter string occurs in it (dropped).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "pipeline/formatter_state.h"
#include "pipeline/message_indices.h"
#include "pipeline/raw_data_file.h"
#include "pipeline/record_framer.h"

namespace nimbrel {

class LineOutput;
class LogConsole;
class MessageDefinitionTable;
struct MessageEntry;

// Records with more 32-bit parameters than this show their text unfilled.
inline constexpr std::uint32_t kMaxFormattedParams = 32;

// A replay stamp that can stand as a time of day.
bool isPlausibleStamp(const RawStamp& stamp);
// Adds one millisecond, carrying into seconds, minutes and hours (the hour is not wrapped
// and the date is not touched).
void advanceStampByOneMillisecond(RawStamp& stamp);

// What the formatter met so far: records whose index the definition file does not define,
// and records shown as a parameter-error line.
struct FormatCounts {
    std::uint64_t undefinedIndices = 0;
    std::uint64_t parameterErrors = 0;
};

class RecordFormatter : public RecordSink {
public:
    RecordFormatter(const MessageDefinitionTable& definitions, LogConsole& console, FormatterToggles& toggles);

    // Builds and delivers one line. `stamp` is the record's raw data stamp during a
    // replay, nullptr during a live capture (the local time now is shown).
    void formatAndShow(const RecordRef& record, const RawStamp* stamp);
    // Live capture: records from the framer.
    void onRecord(const RecordRef& record, bool lastInWindow) override;

    // Lines go to `output` instead of the view (a replay to a text file), or back to the
    // view with nullptr.
    void setLineOutput(LineOutput* output);
    // A replay starts: the remembered stamp goes back to nine zero bytes.
    void resetLastStamp();

    // Clear: empties the view and numbers the next line 00001.
    void clear();
    // Pause / Continue. Held-back lines are shown before the next record after Continue.
    void setPaused(bool paused);
    bool paused() const;
    // Menu states: Clear is enabled only while the view holds text; the Pause item reads
    // "Continue" while paused.
    bool clearEnabled() const;
    std::u16string_view pauseMenuText() const;

    std::int64_t lineNumber() const;
    FormatCounts counts() const;

private:
    void appendBody(const RecordRef& record, const MessageEntry& e, std::uint32_t n, bool matched, bool& decoded);
    void flushPendingLocked();

    const MessageDefinitionTable& definitions_;
    LogConsole& console_;
    FormatterToggles& toggles_;

    // Guards the line number, the held-back text and the line buffers: the formatter runs
    // on the print thread (or the replay's thread) while Clear and Pause come from the UI.
    mutable std::mutex mutex_;
    std::int64_t m_lineNumber = 1;
    std::u16string m_pendingText;
    RawStamp m_lastStamp{};
    LineOutput* output_ = nullptr;
    FormatCounts counts_;

    // Reused for every record: no allocation once they have grown.
    std::u16string line_;
    std::u16string decoded_;
    std::u16string scratch_;
};

}  // namespace nimbrel
