#include "pipeline/settings_store.h"

#include "platform/file_handle.h"
#include "platform/little_endian.h"
#include "platform/path.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel {
namespace {

// fwconfig.ini is a few lines edited by hand; anything far larger is not ours.
constexpr std::size_t kMaxIniBytes = 1 << 20;

std::u16string readText(const SettingsBackend& backend, std::u16string_view key,
                        std::u16string_view fallback) {
    auto stored = backend.read(key);
    return stored ? std::move(*stored) : std::u16string(fallback);
}

std::uint32_t readNumber(const SettingsBackend& backend, std::u16string_view key,
                         std::uint32_t fallback) {
    const auto stored = backend.read(key);
    if (!stored) return fallback;
    return parseSettingNumber(*stored).value_or(fallback);
}

constexpr char16_t kApplicationLookKey[] = u"Workspace/ApplicationLook";

// --- fwconfig.ini ---

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xFEFF;
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

// The file's text: UTF-16LE when it starts with that byte-order mark (a file saved as
// "Unicode" on Windows), UTF-8 otherwise.
std::optional<std::u16string> readIniText(const std::u16string& path) {
    std::string bytes;
    if (readWholeFile(utf16ToUtf8(path), kMaxIniBytes, bytes) != 0) return std::nullopt;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(
                loadLe16(reinterpret_cast<const std::uint8_t*>(bytes.data() + i))));
        }
        return text;
    }
    return utf8ToUtf16(bytes);
}

// The value of a key in a section, matched without regard to ASCII case; the first
// occurrence wins. Lines starting with ';' are comments.
std::optional<std::u16string> iniValue(std::u16string_view text, std::u16string_view section,
                                       std::u16string_view key) {
    bool inSection = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(u'\n', pos);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view line = trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            const auto close = line.find(u']');
            inSection = close != std::u16string_view::npos &&
                        sameName(trimmed(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const auto equals = line.find(u'=');
        if (equals == std::u16string_view::npos || !sameName(trimmed(line.substr(0, equals)), key))
            continue;
        std::u16string_view value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::u16string(value);
    }
    return std::nullopt;
}

// The integer a value starts with, as the platform's profile-integer read takes it
// ("1" and " 1 " are 1; "2", "-1", "on" are not); 0 when it starts with no number.
int leadingInteger(std::u16string_view value) {
    value = trimmed(value);
    bool negative = false;
    if (!value.empty() && (value.front() == u'-' || value.front() == u'+')) {
        negative = value.front() == u'-';
        value.remove_prefix(1);
    }
    long long n = 0;
    for (char16_t c : value) {
        if (c < u'0' || c > u'9') break;
        n = n * 10 + (c - u'0');
        if (n > 0x7FFFFFFFLL) return 0;  // not a 32-bit integer: not a setting of ours
    }
    return static_cast<int>(negative ? -n : n);
}

}  // namespace

std::optional<std::uint32_t> parseSettingNumber(std::u16string_view text) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && text.front() == u'-') {
        negative = true;
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (!negative && text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t n = 0;
    for (char16_t c : text) {
        unsigned digit;
        if (c >= u'0' && c <= u'9') {
            digit = static_cast<unsigned>(c - u'0');
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = static_cast<unsigned>(c - u'a' + 10);
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = static_cast<unsigned>(c - u'A' + 10);
        } else {
            return std::nullopt;
        }
        n = n * base + digit;
        if (n > 0xFFFFFFFFULL) return std::nullopt;
    }
    if (negative) {
        if (n > 0x80000000ULL) return std::nullopt;
        return static_cast<std::uint32_t>(0x100000000ULL - n);
    }
    return static_cast<std::uint32_t>(n);
}

std::u16string SettingsStore::GetLog1Path() const { return readText(backend_, u"Log1Path", u""); }
bool SettingsStore::SetLog1Path(std::u16string_view path) const {
    return backend_.writeText(u"Log1Path", path);
}
std::u16string SettingsStore::GetRawDataPath() const {
    return readText(backend_, u"RawDataPath", u"");
}
bool SettingsStore::SetRawDataPath(std::u16string_view path) const {
    return backend_.writeText(u"RawDataPath", path);
}
std::u16string SettingsStore::GetLogFilePath() const {
    return readText(backend_, u"LogFilePath", u"");
}
bool SettingsStore::SetLogFilePath(std::u16string_view path) const {
    return backend_.writeText(u"LogFilePath", path);
}

std::u16string SettingsStore::GetComPort() const {
    return readText(backend_, u"Com", kDefaultComPort);
}
bool SettingsStore::SetComPort(std::u16string_view name) const {
    return backend_.writeText(u"Com", name);
}
std::u16string SettingsStore::GetLineFilter() const {
    return readText(backend_, u"View/LineFilter", u"");
}
bool SettingsStore::SetLineFilter(std::u16string_view text) const {
    return backend_.writeText(u"View/LineFilter", text);
}
std::uint32_t SettingsStore::GetBaudRate() const {
    return readNumber(backend_, u"BaudRate", kDefaultBaudRate);
}
bool SettingsStore::SetBaudRate(std::uint32_t rate) const {
    return backend_.writeNumber(u"BaudRate", rate);
}
std::uint32_t SettingsStore::GetPrintRawData() const {
    return readNumber(backend_, u"PrintRawData", 0);
}

std::uint32_t SettingsStore::GetAutoGetLogForUart() const {
    return readNumber(backend_, u"AutoGetLogForUart", 0);
}
bool SettingsStore::SetAutoGetLogForUart(std::uint32_t value) const {
    return backend_.writeNumber(u"AutoGetLogForUart", value);
}
bool SettingsStore::SetAutoGetLog(std::uint32_t value) const {
    return backend_.writeNumber(u"AutoGetLog", value);
}
bool SettingsStore::SetAutoSaveRawData(std::uint32_t value) const {
    return backend_.writeNumber(u"AutoSaveRawData", value);
}

bool SettingsStore::IniAutoGetLog() const {
    trace("IniFile: %s\n", utf16ToUtf8(fwconfigPath()).c_str());
    const int value = fwconfigInteger(u"AutoGetLog");
    trace("AutoGetLog: %d\n", value);
    return value == 1;
}

bool SettingsStore::IniAutoSaveRawData() const {
    const int value = fwconfigInteger(u"AutoSaveRawData");
    trace("AutoSaveRawData: %d\n", value);
    return value == 1;
}

int SettingsStore::GetApplicationLook() const {
    // As stored: the frame decides how a value outside 210..218 looks.
    return static_cast<int>(readNumber(backend_, kApplicationLookKey, kDefaultApplicationLook));
}

bool SettingsStore::SetApplicationLook(int id) const {
    return backend_.writeNumber(kApplicationLookKey, static_cast<std::uint32_t>(id));
}

std::u16string SettingsStore::location() const { return backend_.location(); }

bool SettingsStore::locationExists() const { return backend_.locationExists(); }

std::u16string SettingsStore::fwconfigPath() {
    return utf8ToUtf16(joinPath(programFolder(), "fwconfig.ini"));
}

std::optional<std::u16string> SettingsStore::storedValue(std::u16string_view name) const {
    if (name.empty()) return std::nullopt;
    return backend_.read(name);
}

int SettingsStore::fwconfigInteger(std::u16string_view key) const {
    const auto text = readIniText(fwconfigPath());
    if (!text) return 0;
    const auto value = iniValue(*text, u"setting", key);
    return value ? leadingInteger(*value) : 0;
}

bool SettingsStore::storeText(std::u16string_view name, std::u16string_view text) const {
    return backend_.writeText(name, text);
}

bool SettingsStore::storeNumber(std::u16string_view name, std::uint32_t value) const {
    return backend_.writeNumber(name, value);
}

std::u16string storedDefinitionFile() {
    return preferredDefinitionFile(SettingsStore().GetLog1Path());
}

}  // namespace nimbrel
