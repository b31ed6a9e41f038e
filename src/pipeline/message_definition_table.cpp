#include "pipeline/message_definition_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <optional>

#include "pipeline/definition_line.h"
#include "pipeline/log_console.h"
#include "platform/text.h"

namespace nimbrel {

namespace {

constexpr std::size_t kIndexCount = 65536;

// The whole file, or nothing when it cannot be opened or read. Opened read-only without
// locking, so other readers and writers are not disturbed.
std::optional<std::string> readWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;  // e.g. a folder
            break;
        }
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return bytes;
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

bool MessageDefinitionTable::load(const std::string& path, LogConsole& console) {
    const std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes) {
        const std::u16string widePath = utf8ToUtf16(path);
        console.print(u"[R] Open message definition file \"%s\" failed!", {std::u16string_view(widePath)});
        return false;
    }
    loadFromText(*bytes);
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
    for (std::size_t i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(parsed->formatText[i]);
    d.format = CompiledFormat(std::u16string_view(wide, length));

    std::size_t percents = 0;
    for (const char c : parsed->formatText) percents += c == '%';
    d.expectedParams = saturatingAdd(d.expectedParams, percents);
    if (d.expectedParams > 0) {
        d.expectedWidth = parsed->formatText.find("%s") != std::string_view::npos ? 1 : 4;
    }
}

}  // namespace nimbrel
