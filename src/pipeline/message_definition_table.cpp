#include "pipeline/message_definition_table.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "pipeline/definition_line.h"
#include "pipeline/log_console.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel {

namespace {

constexpr std::size_t kIndexCount = 65536;

enum class ReadOutcome { Read, Unreadable, TooLarge, NoWriter };

// The whole file, read up to `limit` bytes: a FIFO or a device that never ends is not read
// past it. Opened read-only without locking, so other readers and writers are not
// disturbed, and without waiting for the writer of a FIFO: a FIFO that reads as empty at
// once has none (a shell's <(cat file) has its writer, or the bytes it left behind).
ReadOutcome readDefinitionBytes(const std::string& path, std::size_t limit, std::string& bytes) {
    const FileStatus info = fileStatus(path);
    if (info.kind == FileKind::Folder) return ReadOutcome::Unreadable;
    FileHandle file;
    if (file.open(path, FileMode::Read) != 0) return ReadOutcome::Unreadable;
    if (info.kind == FileKind::Regular && info.size > 0) {
        if (info.size > limit) return ReadOutcome::TooLarge;
        bytes.resize(static_cast<std::size_t>(info.size) + 1);  // one read, and one to see the end
    }
    // Read straight into the string, growing it by doubling, up to one byte past the limit.
    ReadOutcome outcome = ReadOutcome::Read;
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit) {
                outcome = ReadOutcome::TooLarge;
                break;
            }
            bytes.resize(std::min(limit + 1, std::max<std::size_t>(filled * 2, 1 << 16)));
        }
        const IoResult got = file.readSome(bytes.data() + filled, bytes.size() - filled);
        if (!got.ok()) {
            outcome = ReadOutcome::Unreadable;
            break;
        }
        if (got.count == 0) {
            if (filled == 0 && info.kind == FileKind::Fifo) outcome = ReadOutcome::NoWriter;
            break;
        }
        filled += got.count;
    }
    bytes.resize(filled);
    if (outcome != ReadOutcome::Read) std::string().swap(bytes);
    return outcome;
}

std::int32_t saturatingAdd(std::int32_t a, std::size_t b) {
    const std::int64_t sum = static_cast<std::int64_t>(a) + static_cast<std::int64_t>(b);
    return sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(sum);
}

}  // namespace

MessageDefinitionTable::MessageDefinitionTable() : slotOfIndex_(kIndexCount, 0), definitions_(1) {}

void MessageDefinitionTable::resetToUndefined() {
    slotOfIndex_.assign(kIndexCount, 0);
    definitions_.clear();
    definitions_.push_back(Definition{CompiledFormat(kUndefinedMessageText), 0, 0});
}

bool MessageDefinitionTable::load(const std::string& path, LogConsole& console,
                                  std::size_t sizeLimit) {
    std::string bytes;
    const ReadOutcome outcome = readDefinitionBytes(path, sizeLimit, bytes);
    if (outcome != ReadOutcome::Read) {
        const std::u16string widePath = utf8ToUtf16(path);
        console.print(u"[R] Open message definition file \"%s\" failed!",
                      {std::u16string_view(widePath)});
        if (outcome == ReadOutcome::TooLarge) {
            console.print(
                u"[R] A message definition file is read up to %u MiB; \"%s\" is longer.",
                {static_cast<unsigned long long>(sizeLimit >> 20), std::u16string_view(widePath)});
        } else if (outcome == ReadOutcome::NoWriter) {
            console.print(kNoWriterMessage, {std::u16string_view(widePath)});
        }
        return false;
    }
    loadFromText(bytes);
    // An empty file, a picture or a UTF-16 text loads without a single definition, and
    // every record would then show only that its index is not defined.
    if (definedCount() == 0) console.print(kNoDefinitionsMessage, {utf8ToUtf16(path)});
    return true;
}

void MessageDefinitionTable::loadFromText(std::string_view bytes) {
    resetToUndefined();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        parseLine(line);
        pos = next;
    }
    loaded_.store(true, std::memory_order_release);
}

void MessageDefinitionTable::parseLine(std::string_view line) {
    const std::optional<DefinitionLine> parsed = parseDefinitionLine(line);
    if (!parsed) return;

    std::uint32_t& slot = slotOfIndex_[parsed->index];
    if (slot == 0) {
        slot = static_cast<std::uint32_t>(definitions_.size());
        definitions_.emplace_back();
    }
    Definition& d = definitions_[slot];
    // Each byte is the character of the same value; texts are at most 255 bytes long.
    char16_t wide[kMaxFormatTextLength];
    const std::size_t length = parsed->formatText.size();
    for (std::size_t i = 0; i < length; ++i)
        wide[i] = static_cast<unsigned char>(parsed->formatText[i]);
    d.format = CompiledFormat(std::u16string_view(wide, length));

    std::size_t percents = 0;
    for (const char c : parsed->formatText) percents += c == '%';
    d.expectedParams = saturatingAdd(d.expectedParams, percents);
    if (d.expectedParams > 0) {
        d.expectedWidth = parsed->formatText.find("%s") != std::string_view::npos ? 1 : 4;
    }
}

}  // namespace nimbrel
