#include "app/qt_settings_backend.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <mutex>

#include "pipeline/settings_store.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

// One QSettings object per operation, so that nothing is kept between calls. Only the
// user's own file is consulted: no organisation-wide or system-wide fall-backs.
class SettingsFile {
public:
    SettingsFile()
        : settings_(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(kSettingsOrganization),
                    QString::fromLatin1(kSettingsApplication)) {
        settings_.setFallbacksEnabled(false);
    }
    QSettings* operator->() { return &settings_; }
    // False when the file exists but is not in the settings format. Caller holds
    // g_storeMutex.
    bool readable();

private:
    QSettings settings_;
};

// QSettings objects of one file share a cache inside Qt, guarded by Qt's own locks, which
// ThreadSanitizer cannot see. Every operation therefore runs under this lock, and no Qt
// object outlives it: values leave as standard strings and numbers.
std::mutex g_storeMutex;

// Qt says that a file is not in the settings format only to the first QSettings object
// that parses it: later ones take the parsed keys from Qt's cache as long as the file's
// size and time stamp stay the same. The file seen unreadable last, as it was then;
// guarded by g_storeMutex.
struct FileMark {
    QString name;
    qint64 size = -1;
    QDateTime modified;
    bool matches(const QFileInfo& info) const {
        return info.exists() && info.absoluteFilePath() == name && info.size() == size &&
               info.lastModified() == modified;
    }
};
FileMark g_unreadableFile;

bool SettingsFile::readable() {
    settings_.allKeys();  // Qt reads the file on first use, and only then knows
    if (settings_.status() == QSettings::FormatError) {
        const QFileInfo info(settings_.fileName());
        g_unreadableFile = {info.absoluteFilePath(), info.size(), info.lastModified()};
        return false;
    }
    return g_unreadableFile.name.isEmpty() ||
           !g_unreadableFile.matches(QFileInfo(settings_.fileName()));
}

constexpr char16_t kUnreadableSuffix[] = u".bad";

QString copyPathFor(const QString& fileName) {
    return fileName + QString::fromUtf16(kUnreadableSuffix);
}

// Caller holds g_storeMutex. A file Qt cannot parse would be rewritten with whatever
// pieces of it parse as keys, and the write would still report failure: it is moved
// aside instead (replacing an older copy), and the settings start from the defaults.
void setAsideUnreadableFile() {
    QString fileName;
    {
        SettingsFile probe;
        if (probe.readable()) return;
        fileName = probe->fileName();
    }
    const QString copy = copyPathFor(fileName);
    QFile::remove(copy);
    QFile::rename(fileName, copy);
}

QString toQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

template <class MakeValue>
bool write(std::u16string_view key, MakeValue makeValue) {
    if (key.empty()) return false;
    std::lock_guard lock(g_storeMutex);
    setAsideUnreadableFile();
    SettingsFile file;
    file->setValue(toQString(key), makeValue());
    file->sync();
    return file->status() == QSettings::NoError;
}

class QtSettings final : public SettingsBackend {
public:
    // The stored value as text, or nothing when it is absent or of a kind the system never
    // writes (lists, byte arrays, geometry).
    std::optional<std::u16string> read(std::u16string_view key) const override {
        std::lock_guard lock(g_storeMutex);
        SettingsFile file;
        if (!file.readable() || file->status() != QSettings::NoError) return std::nullopt;
        const QVariant value = file->value(toQString(key));
        switch (value.typeId()) {
        case QMetaType::QString:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: return value.toString().toStdU16String();
        default: return std::nullopt;
        }
    }

    bool writeText(std::u16string_view key, std::u16string_view text) const override {
        return write(key, [text] { return QVariant(toQString(text)); });
    }

    bool writeNumber(std::u16string_view key, std::uint32_t value) const override {
        return write(key, [value] { return QVariant::fromValue<quint32>(value); });
    }

    std::u16string location() const override {
        std::lock_guard lock(g_storeMutex);
        SettingsFile file;
        return file->fileName().toStdU16String();
    }

    bool locationExists() const override {
        return fileStatus(utf16ToUtf8(location())).kind != FileKind::Missing;
    }

    bool unreadable() const override {
        std::lock_guard lock(g_storeMutex);
        SettingsFile file;
        return !file.readable();
    }

    std::u16string unreadableCopy() const override { return location() + kUnreadableSuffix; }
};

}  // namespace

const SettingsBackend& qtSettings() {
    static const QtSettings backend;
    return backend;
}

SettingsStore::SettingsStore() : SettingsStore(qtSettings()) {}

}  // namespace nimbrel
