#include "app/auto_start.h"

#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstdio>

#include "pipeline/settings_store.h"
#include "platform/file_handle.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel {
namespace {

std::u16string autostartFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
               .toStdU16String() +
           u"/autostart";
}

// Writes the entry; on failure the error goes to the trace channel only.
bool writeEntry(const std::u16string& path, std::u16string_view program) {
    const std::string bytes = utf16ToUtf8(autostartEntryText(program));
    const std::string file = utf16ToUtf8(path);
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (!out) {
        trace("_tfopen %s, GetLastError=0x%x", file.c_str(), static_cast<unsigned>(errno));
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int writeError = errno;
    if (std::fclose(out) != 0 || !written) {
        trace("_tfopen %s, GetLastError=0x%x", file.c_str(),
              static_cast<unsigned>(written ? errno : writeError));
        removeFile(file);  // never leave half an entry behind
        return false;
    }
    return true;
}

}  // namespace

AutoStartToggles initialAutoStartToggles(const SettingsStore& settings) {
    AutoStartToggles toggles;
    toggles.m_bAutoGetLog = settings.IniAutoGetLog();
    toggles.m_bAutoGetLogForUart = settings.GetAutoGetLogForUart() != 0;
    return toggles;
}

std::u16string currentExecutablePath() { return utf8ToUtf16(executablePath()); }

std::u16string autostartEntryPath() { return autostartFolder() + u"/nimbrel.desktop"; }

std::u16string desktopExecValue(std::u16string_view program) {
    // Inside double quotes, " ` $ and \ take a backslash; a literal % is written %%.
    std::u16string quoted = u"\"";
    for (char16_t c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted.push_back(u'\\');
        if (c == u'%') quoted.push_back(u'%');
        quoted.push_back(c);
    }
    quoted.push_back(u'"');
    // The string escapes of the file format are undone before the quoting, so they are
    // applied after it.
    std::u16string value;
    for (char16_t c : quoted) {
        switch (c) {
        case u'\\': value += u"\\\\"; break;
        case u'\n': value += u"\\n"; break;
        case u'\t': value += u"\\t"; break;
        case u'\r': value += u"\\r"; break;
        default: value.push_back(c);
        }
    }
    return value;
}

std::u16string autostartEntryText(std::u16string_view program) {
    return u"[Desktop Entry]\n"
           u"Type=Application\n"
           u"Name=Nimbrel\n"
           u"Comment=Starts Nimbrel at log-on to capture the controller log\n"
           u"Exec=" +
           desktopExecValue(program) +
           u"\n"
           u"Terminal=false\n"
           u"X-GNOME-Autostart-enabled=true\n";
}

bool SetAutoStart(bool enable, bool forUart, std::u16string_view program) {
    const SettingsStore settings;
    makeFolders(utf16ToUtf8(autostartFolder()));  // an existing folder is fine; errors show below
    const std::u16string entry = autostartEntryPath();
    const std::string entryFile = utf16ToUtf8(entry);
    const int removeError = removeFile(entryFile);
    const bool removed = removeError == 0 || removeError == ENOENT;
    if (!enable) {
        if (forUart) {
            settings.SetAutoGetLogForUart(0);
        } else {
            settings.SetAutoGetLog(0);
        }
        return removed;
    }
    const bool written = writeEntry(entry, program);
    settings.SetAutoGetLogForUart(forUart ? 1 : 0);
    settings.SetAutoGetLog(forUart ? 0 : 1);
    return written;
}

void toggleAutoCatchLogUsb(AutoStartToggles& toggles, std::u16string_view program) {
    const bool wasOn = toggles.m_bAutoGetLog;
    toggles.m_bAutoGetLog = !wasOn;
    if (!wasOn) toggles.m_bAutoGetLogForUart = false;
    SetAutoStart(!wasOn, false, program);
}

void toggleAutoCatchLogUart(AutoStartToggles& toggles, std::u16string_view program) {
    const bool wasOn = toggles.m_bAutoGetLogForUart;
    toggles.m_bAutoGetLogForUart = !wasOn;
    if (!wasOn) toggles.m_bAutoGetLog = false;
    SetAutoStart(!wasOn, true, program);
}

}  // namespace nimbrel
