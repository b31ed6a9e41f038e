#include "gui/window/recent_files.h"

#include <QFileInfo>

#include "pipeline/settings_store.h"

namespace nimbrel::gui {
namespace {

// Every access goes through the settings store, whose lock serialises it with the capture
// threads' reads of the same file.
std::u16string entryKey(int i) {
    return QStringLiteral("Recent File List/File%1").arg(i + 1).toStdU16String();
}

}  // namespace

QStringList RecentFileList::files() const {
    const SettingsStore store;
    QStringList out;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString file =
            QString::fromStdU16String(store.storedValue(entryKey(i)).value_or(u""));
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
    const SettingsStore store;
    for (int i = 0; i < kRecentFileCount; ++i) {
        // An emptied entry reads as no file.
        const QString file = i < list.size() ? list[i] : QString();
        if (store.storedValue(entryKey(i)).value_or(u"") != file.toStdU16String()) {
            store.storeText(entryKey(i), file.toStdU16String());
        }
    }
}

}  // namespace nimbrel::gui
