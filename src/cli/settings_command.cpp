// nimbrel-cli settings: lists, reads and changes the stored settings (the settings file or
// registry key, fwconfig.ini read-only, and on Linux the autostart entry in the listing).
// Built where the settings store has a backend: the registry on Windows, Qt Core on Linux.
#if NIMBREL_HAVE_SETTINGS

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if NIMBREL_HAVE_APP
#include "app/auto_start.h"
#endif
#include "cli/commands.h"
#include "pipeline/settings_store.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

enum class Kind {
    Text,      // a string
    Number,    // a 32-bit number
    Look,      // the application look, 210..218
    FwConfig,  // a key of fwconfig.ini [setting], read-only
};

struct Setting {
    const char* name;   // as given on the command line and shown by list
    const char* alias;  // another accepted name, or nullptr
    Kind kind;
    const char* about;
    bool guiOnly;  // only the GUI reads it; the command line ignores it
    // What the system reads; nullptr for values it writes but never reads back.
    std::u16string (*effective)(const SettingsStore&);
};

std::u16string number(std::uint64_t n) { return utf8ToUtf16(std::to_string(n)); }

const Setting kSettings[] = {
    {"Log1Path", nullptr, Kind::Text, "message definition file last chosen", false,
     [](const SettingsStore& s) { return s.GetLog1Path(); }},
    {"RawDataPath", nullptr, Kind::Text, "raw data file last replayed", true,
     [](const SettingsStore& s) { return s.GetRawDataPath(); }},
    {"LogFilePath", nullptr, Kind::Text, "text log file last opened", true,
     [](const SettingsStore& s) { return s.GetLogFilePath(); }},
    {"Com", nullptr, Kind::Text, "serial port of the COM capture", false,
     [](const SettingsStore& s) { return s.GetComPort(); }},
    {"BaudRate", nullptr, Kind::Number, "serial baud rate", false,
     [](const SettingsStore& s) { return number(s.GetBaudRate()); }},
    {"PrintRawData", nullptr, Kind::Number, "1: the COM capture also echoes the raw bytes", false,
     [](const SettingsStore& s) { return number(s.GetPrintRawData()); }},
    {"AutoGetLogForUart", nullptr, Kind::Number, "not 0: start the UART-driver capture at start-up",
     true, [](const SettingsStore& s) { return number(s.GetAutoGetLogForUart()); }},
    {"AutoGetLog", nullptr, Kind::Number, "written by the USB auto-start toggle, never read", false,
     nullptr},
    {"AutoSaveRawData", nullptr, Kind::Number, "written by Auto Generate Raw Data, never read",
     false, nullptr},
    {"Workspace/ApplicationLook", "ApplicationLook", Kind::Look, "visual style, 210 to 218", true,
     [](const SettingsStore& s) {
         return number(static_cast<std::uint64_t>(s.GetApplicationLook()));
     }},
    {"fwconfig:AutoGetLog", nullptr, Kind::FwConfig,
     "1: start the filter-driver capture at start-up", true,
     [](const SettingsStore& s) {
         return utf8ToUtf16(std::to_string(s.fwconfigInteger(u"AutoGetLog")));
     }},
    {"fwconfig:AutoSaveRawData", nullptr, Kind::FwConfig, "1: record raw data from start-up", true,
     [](const SettingsStore& s) {
         return utf8ToUtf16(std::to_string(s.fwconfigInteger(u"AutoSaveRawData")));
     }},
};

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const Setting* findSetting(std::string_view name) {
    for (const Setting& s : kSettings) {
        if (sameName(name, s.name) || (s.alias && sameName(name, s.alias))) return &s;
    }
    return nullptr;
}

bool fileExists(const std::u16string& path) {
    return fileStatus(utf16ToUtf8(path)).kind != FileKind::Missing;
}

#ifdef _WIN32
constexpr const char* kSettingsPlace = "Settings key";
#else
constexpr const char* kSettingsPlace = "Settings file";
#endif

constexpr const char* kExitStatus =
    "Exit status: 0 success, 1 failure (value not stored, settings file not writable),\n"
    "2 usage error.\n";

void printNames(std::FILE* out) {
    std::fprintf(out, "Names:\n");
    for (const Setting& s : kSettings) {
        const char* type = s.kind == Kind::Text       ? "text"
                           : s.kind == Kind::FwConfig ? "read-only"
                                                      : "number";
        std::fprintf(out, "  %-26s %-9s %s%s%s%s\n", s.name, type, s.about,
                     s.guiOnly ? " (GUI only)" : "", s.alias ? "; also " : "",
                     s.alias ? s.alias : "");
    }
}

void usageTop(std::FILE* out) {
    std::fprintf(out,
                 "Usage: nimbrel-cli settings list\n"
                 "       nimbrel-cli settings get NAME\n"
                 "       nimbrel-cli settings set NAME VALUE\n"
                 "\n"
                 "Lists, reads and changes the stored settings: %s,\n"
                 "fwconfig.ini in the program folder (read-only: edit it by hand)%s.\n"
                 "\n",
#ifdef _WIN32
                 "the registry key\nHKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Bluetooth\\Nimbrel", ""
#else
                 "the settings file under\n$XDG_CONFIG_HOME",
                 "\nand the autostart entry (shown by list)"
#endif
    );
    printNames(out);
    std::fprintf(out, "\nNames are matched without regard to case.\n\n%s", kExitStatus);
}

void usageList(std::FILE* out) {
    std::fprintf(out,
                 "Usage: nimbrel-cli settings list\n"
                 "\n"
                 "Shows every setting with its value and where it lives; values not stored\n"
                 "are shown with the default the program uses. Settings marked \"read by the GUI\n"
                 "only\" do not change what nimbrel-cli does.\n\n%s",
                 kExitStatus);
}

void usageGet(std::FILE* out) {
    std::fprintf(out,
                 "Usage: nimbrel-cli settings get NAME\n"
                 "\n"
                 "Prints the value the program reads (the default when nothing is stored).\n"
                 "AutoGetLog and AutoSaveRawData have no default: when they are not stored,\n"
                 "get fails with exit code 1.\n\n");
    printNames(out);
    std::fprintf(out, "\n%s", kExitStatus);
}

void usageSet(std::FILE* out) {
    std::fprintf(out,
                 "Usage: nimbrel-cli settings set NAME VALUE\n"
                 "\n"
                 "Stores a value in the settings file. Numbers are 0 to 4294967295, decimal\n"
                 "or 0x hexadecimal; the application look takes 210 to 218.\n"
                 "Use -- before a VALUE that starts with \"--\".\n\n");
    printNames(out);
    std::fprintf(out, "\n%s", kExitStatus);
}

// One line saying what is wrong and one pointing to the help that explains it.
int usageError(const char* message, const std::string& detail, void (*usage)(std::FILE*)) {
    const char* help = usage == usageList  ? "settings list --help"
                       : usage == usageGet ? "settings get --help"
                       : usage == usageSet ? "settings set --help"
                                           : "settings --help";
    std::fprintf(stderr, "nimbrel-cli settings: %s%s\nRun 'nimbrel-cli %s' for usage.\n", message,
                 detail.c_str(), help);
    return kExitUsage;
}

// Splits the words after the subcommand into positionals; --help anywhere asks for help.
struct Words {
    std::vector<std::string> positional;
    bool help = false;
    std::string unknownOption;
};

Words splitWords(int argc, char** argv, int first) {
    Words words;
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            words.help = true;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with("--")) {
            if (words.unknownOption.empty()) words.unknownOption = arg;
        } else {
            words.positional.emplace_back(arg);
        }
    }
    return words;
}

// Whether the program takes a stored text as it stands (otherwise it uses the default).
bool usable(const Setting& s, const std::u16string& stored) {
    if (s.kind == Kind::Text) return true;
    const auto n = parseSettingNumber(stored);
    if (s.kind == Kind::Look) return n && *n >= kFirstApplicationLook && *n <= kLastApplicationLook;
    return n.has_value();
}

std::string shown(const std::u16string& value) {
    return value.empty() ? "(empty)" : utf16ToUtf8(value);
}

// A row of the listing: name, value, and what to say about the value.
struct Row {
    std::string name;
    std::string value;
    std::string note;
};

// Prints rows with their values in one column and their notes in the next.
void printRows(const std::vector<Row>& rows) {
    std::size_t nameWidth = 0, valueWidth = 0;
    for (const Setting& s : kSettings) nameWidth = std::max(nameWidth, std::strlen(s.name));
    for (const Row& r : rows) {
        valueWidth = std::max(valueWidth, r.value.size());
    }
    for (const Row& r : rows) {
        std::string line =
            "  " + r.name + std::string(nameWidth - r.name.size() + 2, ' ') + r.value;
        if (!r.note.empty()) line += std::string(valueWidth - r.value.size() + 2, ' ') + r.note;
        std::printf("%s\n", line.c_str());
    }
}

std::string withGuiOnly(const Setting& s, std::string note) {
    if (!s.guiOnly) return note;
    return note.empty() ? "(read by the GUI only)"
                        : note.substr(0, note.size() - 1) + "; read by the GUI only)";
}

// Said once per run when the settings file cannot be read: the defaults apply.
void reportUnreadableFile() {
    const SettingsStore store;
    if (!store.locationUnreadable()) return;
    std::fprintf(stderr,
                 "nimbrel-cli settings: the settings file %s cannot be read (it is not in the "
                 "settings format); the defaults apply. Setting a value keeps it as %s and "
                 "starts again from the defaults.\n",
                 utf16ToUtf8(store.location()).c_str(),
                 utf16ToUtf8(store.unreadableCopy()).c_str());
}

// A number as `set` takes it: 0 to 4294967295, decimal or 0x hexadecimal. The store also
// reads negative numbers written by hand, but the command does not write them.
std::optional<std::uint32_t> parseSetNumber(const std::string& value) {
    const auto first = value.find_first_not_of(" \t");
    if (first != std::string::npos && value[first] == '-') return std::nullopt;
    return parseSettingNumber(utf8ToUtf16(value));
}

int runList() {
    reportUnreadableFile();
    const SettingsStore store;
    std::printf("%s: %s%s\n", kSettingsPlace, utf16ToUtf8(store.location()).c_str(),
                store.locationExists() ? "" : "  (not created yet)");
    std::vector<Row> stored, fwconfigRows;
    for (const Setting& s : kSettings) {
        if (s.kind == Kind::FwConfig) {
            const std::string value = utf16ToUtf8(s.effective(store));
            fwconfigRows.push_back(
                {s.name, value, withGuiOnly(s, value == "1" ? "(on)" : "(off)")});
            continue;
        }
        const auto value = store.storedValue(utf8ToUtf16(s.name));
        Row row{s.name, "", ""};
        if (!s.effective) {
            row.value = value ? shown(*value) : "(not set)";
            row.note = "(never read)";
        } else {
            row.value = shown(s.effective(store));
            if (!value) {
                row.note = "(default)";
            } else if (!usable(s, *value)) {
                row.note = "(stored \"" + utf16ToUtf8(*value) + "\" is not usable)";
            }
        }
        row.note = withGuiOnly(s, row.note);
        stored.push_back(std::move(row));
    }
    printRows(stored);

    const std::u16string fwconfig = SettingsStore::fwconfigPath();
    std::printf("Program settings, read-only: %s%s\n", utf16ToUtf8(fwconfig).c_str(),
                fileExists(fwconfig) ? "" : "  (missing)");
    printRows(fwconfigRows);

#if NIMBREL_HAVE_APP
    const std::u16string entry = autostartEntryPath();
    std::printf("Autostart entry: %s  (%s)\n", utf16ToUtf8(entry).c_str(),
                fileExists(entry) ? "present: started at log-on" : "absent");
#endif
    return kExitOk;
}

int runGet(const std::string& name) {
    const Setting* s = findSetting(name);
    if (!s) return usageError("unknown setting ", "'" + name + "'", usageGet);
    reportUnreadableFile();
    const SettingsStore store;
    if (!s->effective) {
        const auto stored = store.storedValue(utf8ToUtf16(s->name));
        if (!stored) {
            std::fprintf(stderr, "nimbrel-cli settings: %s is not stored\n", s->name);
            return kExitFailure;
        }
        std::printf("%s\n", utf16ToUtf8(*stored).c_str());
        return kExitOk;
    }
    std::printf("%s\n", utf16ToUtf8(s->effective(store)).c_str());
    return kExitOk;
}

int runSet(const std::string& name, const std::string& value) {
    const Setting* s = findSetting(name);
    if (!s) return usageError("unknown setting ", "'" + name + "'", usageSet);
    if (s->kind == Kind::FwConfig) {
        return usageError(s->name,
                          std::string(" lives in fwconfig.ini, which is read-only here: edit ") +
                              utf16ToUtf8(SettingsStore::fwconfigPath()) + " by hand",
                          usageSet);
    }
    const SettingsStore store;
    const std::u16string key = utf8ToUtf16(s->name);
    std::optional<std::uint32_t> number;
    if (s->kind != Kind::Text) {
        number = parseSetNumber(value);
        if (!number) {
            return usageError(
                s->name, " takes a number (0 to 4294967295, 0x hexadecimal), not '" + value + "'",
                usageSet);
        }
        if (s->kind == Kind::Look &&
            (*number < kFirstApplicationLook || *number > kLastApplicationLook)) {
            return usageError(s->name, " takes a number from 210 to 218, not '" + value + "'",
                              usageSet);
        }
    }
    // The store moves an unreadable file aside when it writes.
    const bool unreadable = store.locationUnreadable();
    const bool written =
        number ? store.storeNumber(key, *number) : store.storeText(key, utf8ToUtf16(value));
    if (unreadable && fileExists(store.unreadableCopy())) {
        std::fprintf(stderr,
                     "nimbrel-cli settings: the settings file %s could not be read (it is not in "
                     "the settings format); it is kept as %s and the other settings are back "
                     "at their defaults.\n",
                     utf16ToUtf8(store.location()).c_str(),
                     utf16ToUtf8(store.unreadableCopy()).c_str());
    }
    if (!written) {
        std::fprintf(stderr, "nimbrel-cli settings: could not write %s to %s\n", s->name,
                     utf16ToUtf8(store.location()).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int runSettings(int argc, char** argv) {
    // The subcommand is the first word after "settings" that is not an option.
    int at = 1;
    if (at < argc && std::string_view(argv[at]) != "--" &&
        std::string_view(argv[at]).starts_with("-")) {
        const std::string_view arg(argv[at]);
        if (arg == "--help" || arg == "-h") {
            usageTop(stdout);
            return kExitOk;
        }
        return usageError("unknown option ", std::string(arg), usageTop);
    }
    if (at < argc && std::string_view(argv[at]) == "--") ++at;
    if (at >= argc) return usageError("missing command", "", usageTop);
    const std::string_view command(argv[at]);
    const Words words = splitWords(argc, argv, at + 1);

    if (command == "list") {
        if (words.help) {
            usageList(stdout);
            return kExitOk;
        }
        if (!words.unknownOption.empty())
            return usageError("unknown option ", words.unknownOption, usageList);
        if (!words.positional.empty()) return usageError("list takes no arguments", "", usageList);
        return runList();
    }
    if (command == "get") {
        if (words.help) {
            usageGet(stdout);
            return kExitOk;
        }
        if (!words.unknownOption.empty())
            return usageError("unknown option ", words.unknownOption, usageGet);
        if (words.positional.size() != 1) return usageError("get takes one NAME", "", usageGet);
        return runGet(words.positional[0]);
    }
    if (command == "set") {
        if (words.help) {
            usageSet(stdout);
            return kExitOk;
        }
        if (!words.unknownOption.empty())
            return usageError("unknown option ", words.unknownOption, usageSet);
        if (words.positional.size() != 2)
            return usageError("set takes NAME and VALUE", "", usageSet);
        return runSet(words.positional[0], words.positional[1]);
    }
    return usageError("unknown command ", "'" + std::string(command) + "'", usageTop);
}

}  // namespace nimbrel::cli

#endif  // NIMBREL_HAVE_SETTINGS
