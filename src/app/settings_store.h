// Where the persistent settings live and how they are read and written.
//
// - The settings file: QSettings in native format for organisation "Corvane/Bluetooth"
//   and application "Nimbrel" (an INI file under $XDG_CONFIG_HOME). Top-level values
//   Log1Path, RawDataPath, LogFilePath, Com, BaudRate, PrintRawData, AutoGetLogForUart,
//   AutoGetLog, AutoSaveRawData; group "Workspace" holds ApplicationLook.
// - fwconfig.ini in the program folder, section "setting": AutoGetLog and
//   AutoSaveRawData, read only, never written.
//
// The store keeps nothing: every read goes to the file at the moment of the call and
// every write goes straight through. Readers create nothing; writers create the file and
// its folders when missing. Failures are silent: a reader gives the default, a writer
// leaves the store as it was (and returns false). A settings file that cannot be read
// (not in the settings format) gives the defaults; the first write moves it aside, beside
// itself with the suffix ".bad", and starts from the defaults.
//
// Every operation may be called from any thread (operations are serialised by one lock
// and take a few microseconds); no QCoreApplication is needed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pipeline/definition_file_choice.h"
#include "platform/serial_port.h"  // kDefaultBaudRate

namespace nimbrel {

inline constexpr char kSettingsOrganization[] = "Corvane/Bluetooth";
inline constexpr char kSettingsApplication[] = "Nimbrel";
inline constexpr char kWorkspaceGroup[] = "Workspace";

inline constexpr char16_t kDefaultComPort[] = u"ttyUSB0";
inline constexpr char16_t kUnreadableSettingsSuffix[] = u".bad";
inline constexpr int kDefaultApplicationLook = 214;
inline constexpr int kFirstApplicationLook = 210;
inline constexpr int kLastApplicationLook = 218;

class SettingsStore final : public Log1PathStore {
public:
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

    // --- for tools that show and edit the stores (nimbrel-cli settings) ---

    // The settings file (it may not exist).
    static std::u16string settingsFilePath();
    // The settings file exists but cannot be read, so the defaults apply; the next write
    // moves it to unreadableCopyPath().
    static bool settingsFileUnreadable();
    static std::u16string unreadableCopyPath();
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
};

// A 32-bit setting written as text: decimal, "0x" hexadecimal, or a negative decimal down
// to -2147483648 (kept as its 32-bit pattern); surrounding blanks are ignored.
std::optional<std::uint32_t> parseSettingNumber(std::u16string_view text);

// The definition file the GUI would choose now, reading only: the stored Log1Path if that
// file exists, else LOG1.h in the program folder.
std::u16string storedDefinitionFile();

}  // namespace nimbrel
