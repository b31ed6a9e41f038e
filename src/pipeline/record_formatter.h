// Shows one framed record as one numbered line of the log view (the line's text comes from
// the RecordLineComposer). The line goes to the view, or to a text file during a replay,
// in the record's colour unless the display is paused (held back) or a filter string
// occurs in it (dropped).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "pipeline/formatter_state.h"
#include "pipeline/message_indices.h"
#include "pipeline/raw_data_file.h"
#include "pipeline/record_framer.h"
#include "pipeline/record_line_composer.h"

namespace nimbrel {

class LineOutput;
class LogConsole;
class MessageDefinitionTable;

// What the formatter met so far: records whose index the definition file does not define,
// and records shown as a parameter-error line.
struct FormatCounts {
    std::uint64_t undefinedIndices = 0;
    std::uint64_t parameterErrors = 0;
};

class RecordFormatter : public RecordSink, public StampedRecordSink {
public:
    RecordFormatter(const MessageDefinitionTable& definitions, LogConsole& console,
                    FormatterToggles& toggles);

    // Builds and delivers one line. `stamp` is the record's raw data stamp during a
    // replay, nullptr during a live capture (the local time now is shown).
    void formatAndShow(const RecordRef& record, const RawStamp* stamp);
    // Live capture: records from the framer.
    void onRecord(const RecordRef& record, bool lastInWindow) override;
    // Replay: records of a raw data file with their stamps.
    void onStampedRecord(const RecordRef& record, const RawStamp* stamp) override {
        formatAndShow(record, stamp);
    }

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
    void flushPendingLocked();

    LogConsole& console_;
    FormatterToggles& toggles_;

    // Guards the line number, the held-back text and the composer: the formatter runs on
    // the print thread (or the replay's thread) while Clear and Pause come from the UI.
    mutable std::mutex mutex_;
    RecordLineComposer composer_;
    std::int64_t m_lineNumber = 1;
    std::u16string m_pendingText;
    LineOutput* output_ = nullptr;
    FormatCounts counts_;
};

}  // namespace nimbrel
