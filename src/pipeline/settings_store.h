// Where the persistent settings live and how they are read and written.
//
// - The settings key, through a SettingsBackend (platform/settings_backend.h): the
//   registry on Windows, a QSettings file on Linux (app/qt_settings_backend.h). Values
//   Log1Path, RawDataPath, LogFilePath, Com, BaudRate, PrintRawData, AutoGetLogForUart,
//   AutoGetLog, AutoSaveRawData; the framework profile's "Workspace/ApplicationLook".
// - fwconfig.ini in the program folder, section "setting": AutoGetLog and
//   AutoSaveRawData, read only, never written.
//
// The store keeps nothing: every read goes to the store at the moment of the call and
// every write goes straight through. Readers create nothing; writers create the store
// when missing. Failures are silent: a reader gives the default, a writer leaves the
// store as it was (and returns false). A settings file that cannot be read gives the
// defaults; the first write keeps it beside itself (".bad") and starts from the
// defaults. Every operation may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/definition_file_choice.h"
#include "platform/serial_port.h"  // kDefaultBaudRate
#include "platform/settings_backend.h"

namespace nimbrel {

inline constexpr char kWorkspaceGroup[] = "Workspace";

#ifdef _WIN32
inline constexpr char16_t kDefaultComPort[] = u"COM1";
#else
inline constexpr char16_t kDefaultComPort[] = u"ttyUSB0";
#endif
inline constexpr int kDefaultApplicationLook = 214;
inline constexpr int kFirstApplicationLook = 210;
inline constexpr int kLastApplicationLook = 218;

class SettingsStore final : public Log1PathStore {
public:
    // Over this build's own backend: the registry on Windows, the QSettings file on Linux
    // (defined by the build that provides the backend).
    SettingsStore();
    explicit SettingsStore(const SettingsBackend& backend) : backend_(backend) {}

    // Paths of the message definition file, the raw data file last replayed and the text
    // log file last opened; empty when absent.
    std::u16string GetLog1Path() const override;
    bool SetLog1Path(std::u16string_view path) const override;
    std::u16string GetRawDataPath() const;
    bool SetRawDataPath(std::u16string_view path) const;
    std::u16string GetLogFilePath() const;
    bool SetLogFilePath(std::u16string_view path) const;

    // Serial port name ("ttyUSB0" when absent; a stored empty name reads as empty).
    std::u16string GetComPort() const;
    bool SetComPort(std::u16string_view name) const;
    std::uint32_t GetBaudRate() const;  // 115200 when absent
    bool SetBaudRate(std::uint32_t rate) const;
    // Exactly 1: the COM capture also echoes the raw bytes. Set by hand only.
    std::uint32_t GetPrintRawData() const;

    std::uint32_t GetAutoGetLogForUart() const;
    bool SetAutoGetLogForUart(std::uint32_t value) const;
    // Written by the auto-start toggles and Auto Generate Raw Data; nothing reads them
    // back (the start-up state of these two comes from fwconfig.ini).
    bool SetAutoGetLog(std::uint32_t value) const;
    bool SetAutoSaveRawData(std::uint32_t value) const;

    // fwconfig.ini [setting]: true exactly when the key's integer is 1.
    bool IniAutoGetLog() const;
    bool IniAutoSaveRawData() const;

    // The visual style as stored (214 when absent or not a number). Values outside 210..218
    // are returned as they are; the frame picks its fallback style for them.
    int GetApplicationLook() const;
    bool SetApplicationLook(int id) const;

    // The log view's tag filters as the view writes them (empty when absent: no filter).
    std::u16string GetLineFilter() const;
    bool SetLineFilter(std::u16string_view text) const;

    // --- for tools that show and edit the stores (nimbrel-cli settings) ---

    // Where the settings key's values live (a file or a registry key), and whether
    // anything has been stored there yet.
    std::u16string location() const;
    bool locationExists() const;
    // The settings file exists but cannot be read, so the defaults apply; the next write
    // keeps it at unreadableCopy() and starts from the defaults.
    bool locationUnreadable() const { return backend_.unreadable(); }
    std::u16string unreadableCopy() const { return backend_.unreadableCopy(); }
    // fwconfig.ini in the program folder (it may not exist).
    static std::u16string fwconfigPath();
    // The text stored under a value name ("Workspace/ApplicationLook" for the look), as
    // stored, or nothing when absent.
    std::optional<std::u16string> storedValue(std::u16string_view name) const;
    // The integer fwconfig.ini gives a key of section "setting" (0 when the file, the
    // section or the key is missing, or the value does not start with a number).
    int fwconfigInteger(std::u16string_view key) const;
    // Writes a value under a value name, as someone editing the store by hand would.
    bool storeText(std::u16string_view name, std::u16string_view text) const;
    bool storeNumber(std::u16string_view name, std::uint32_t value) const;

private:
    const SettingsBackend& backend_;
};

// A 32-bit setting written as text: decimal, "0x" hexadecimal, or a negative decimal down
// to -2147483648 (kept as its 32-bit pattern); surrounding blanks are ignored.
std::optional<std::uint32_t> parseSettingNumber(std::u16string_view text);

// The definition file the GUI would choose now, reading only: the stored Log1Path if that
// file exists, else LOG1.h in the program folder.
std::u16string storedDefinitionFile();

}  // namespace nimbrel
