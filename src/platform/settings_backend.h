// The store that holds the settings key's values: the registry key
// HKEY_CURRENT_USER\SOFTWARE\Corvane\Bluetooth\Nimbrel on Windows, its stand-in (a
// QSettings file) on Linux. Value names are those of the key ("Com", "BaudRate"); a name
// with a '/' ("Workspace/ApplicationLook") lives in the framework's profile beside it.
//
// Backends keep nothing between calls: every read goes to the store, every write goes
// straight through; failures are silent (a reader gives nothing, a writer returns false).
// Every operation may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nimbrel {

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;

    // The value as text (numbers in decimal), or nothing when it is absent or of a kind
    // the system never writes.
    virtual std::optional<std::u16string> read(std::u16string_view name) const = 0;
    // A string value (Windows: REG_SZ with its terminator).
    virtual bool writeText(std::u16string_view name, std::u16string_view text) const = 0;
    // A 32-bit value (Windows: REG_DWORD).
    virtual bool writeNumber(std::u16string_view name, std::uint32_t value) const = 0;

    // Where the values live, as the user would look for them (a file path or a key).
    virtual std::u16string location() const = 0;
    // Whether anything has been stored there yet.
    virtual bool locationExists() const = 0;
    // The store exists but cannot be read (a settings file not in its format): readers
    // give nothing, and the next write keeps it at unreadableCopy() and starts afresh.
    // A backend whose store cannot be unreadable says false.
    virtual bool unreadable() const { return false; }
    virtual std::u16string unreadableCopy() const { return {}; }
};

}  // namespace nimbrel
