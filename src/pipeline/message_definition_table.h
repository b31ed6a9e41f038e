// The message definitions: for every 16-bit message index, the format text a record with
// that index is shown with, the number of parameters the text expects and their width.
//
// Texts are kept compactly: a definition per defined index (its compiled format owns the
// text) and a 16-bit-index-to-definition map; every undefined index shares one fallback
// entry. Memory follows the size of the file, not the 65,536 possible indices.
//
// Threads: load, loadFromText and parseLine run on the UI thread, and only while no print
// thread formats records (a capture or a replay is being started). entry() is then read by
// the print thread without a lock; starting that thread orders it after the load.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/printf_engine.h"

namespace nimbrel {

class LogConsole;

// Text of every index a loaded file does not define.
inline constexpr std::u16string_view kUndefinedMessageText =
    u"Warning! message index isn't defined in log.h";

struct MessageEntry {
    std::u16string_view formatText;
    // Number of '%' characters in the text ("%%" counts twice), added up over every
    // definition of the index in the file.
    std::int32_t expectedParams = 0;
    // 1 when the text holds "%s", 4 when it holds another '%', 0 when it holds none.
    std::int32_t expectedWidth = 0;
    const CompiledFormat& format;  // the text compiled for the printf engine
};

// The loader's lines for a FIFO nobody writes to (after the red "failed!" line) and for a
// file that it read but found no definition in.
inline constexpr std::u16string_view kNoWriterMessage = u"[R] \"%s\" is a FIFO without a writer.";
inline constexpr std::u16string_view kNoDefinitionsMessage =
    u"[Y] No message definitions found in %s";

// Far above any real definition file (a few hundred kilobytes).
inline constexpr std::size_t kDefinitionFileSizeLimit = std::size_t{64} << 20;

class MessageDefinitionTable {
public:
    MessageDefinitionTable();
    MessageDefinitionTable(const MessageDefinitionTable&) = delete;
    MessageDefinitionTable& operator=(const MessageDefinitionTable&) = delete;

    // Reads the definition file at path (8-bit text). When it cannot be opened or read,
    // is a FIFO without a writer (never waited for), or holds more than `sizeLimit` bytes
    // (read no further: a FIFO or device may never end), prints "[R] Open message
    // definition file "<path>" failed!" to the console (with a second line naming the
    // cause for the last two), leaves the table as it was and returns false. Otherwise
    // rebuilds the table from scratch, adds a yellow line when the file defined nothing,
    // and returns true.
    bool load(const std::string& path, LogConsole& console,
              std::size_t sizeLimit = kDefinitionFileSizeLimit);
    // Rebuilds the table from a file's bytes; counts as a successful load.
    void loadFromText(std::string_view bytes);
    // Applies one line (without its line end) to the table as it stands.
    void parseLine(std::string_view line);

    MessageEntry entry(std::uint16_t index) const noexcept {
        const Definition& d = definitions_[slotOfIndex_[index]];
        return MessageEntry{d.format.text(), d.expectedParams, d.expectedWidth, d.format};
    }
    // True once any load has succeeded (never cleared).
    bool loaded() const noexcept { return loaded_.load(std::memory_order_acquire); }
    // Number of distinct indices the table defines.
    std::size_t definedCount() const noexcept { return definitions_.size() - 1; }

private:
    struct Definition {
        CompiledFormat format;
        std::int32_t expectedParams = 0;
        std::int32_t expectedWidth = 0;
    };

    void resetToUndefined();

    // Per message index, the position of its definition in definitions_; 0 is the shared
    // fallback (empty before the first load, the "isn't defined" text after).
    std::vector<std::uint32_t> slotOfIndex_;
    std::vector<Definition> definitions_;
    std::atomic<bool> loaded_{false};
};

}  // namespace nimbrel
