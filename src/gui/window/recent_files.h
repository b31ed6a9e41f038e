// The recent-file list of the File menu: the last four text logs opened or saved, newest
// first, kept across restarts in the program's settings.
#pragma once

#include <QStringList>

namespace nimbrel::gui {

inline constexpr int kRecentFileCount = 4;

class RecentFileList {
public:
    QStringList files() const;
    // Puts the file first (once), dropping the oldest beyond four.
    void add(const QString& path) const;
    void remove(const QString& path) const;

private:
    void store(const QStringList& files) const;
};

}  // namespace nimbrel::gui
