#include "gui/recent_files.h"

#include <QFileInfo>
#include <QSettings>

#include "app/settings_store.h"

namespace nimbrel::gui {
namespace {

constexpr char kGroup[] = "Recent File List";

QSettings settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kSettingsApplication));
}

QString entryKey(int i) { return QStringLiteral("File%1").arg(i + 1); }

}  // namespace

QStringList RecentFileList::files() const {
    QSettings s = settings();
    s.beginGroup(QString::fromLatin1(kGroup));
    QStringList out;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString file = s.value(entryKey(i)).toString();
        if (!file.isEmpty() && !out.contains(file)) out.append(file);
    }
    return out;
}

void RecentFileList::add(const QString& path) const {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = files();
    list.removeAll(absolute);
    list.prepend(absolute);
    store(list);
}

void RecentFileList::remove(const QString& path) const {
    QStringList list = files();
    list.removeAll(path);
    store(list);
}

void RecentFileList::store(const QStringList& list) const {
    QSettings s = settings();
    s.beginGroup(QString::fromLatin1(kGroup));
    for (int i = 0; i < kRecentFileCount; ++i) {
        if (i < list.size()) {
            s.setValue(entryKey(i), list[i]);
        } else {
            s.remove(entryKey(i));
        }
    }
}

}  // namespace nimbrel::gui
