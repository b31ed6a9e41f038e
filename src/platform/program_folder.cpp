#include "platform/program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/file_handle.h"
#include "platform/path.h"

namespace nimbrel {
namespace {

// Copies one file to `to` through a temporary name, so that a reader never sees half a file;
// a file that appeared at `to` meanwhile (another process seeding, the user) is kept.
bool copyFile(const std::string& from, const std::string& to) {
    FileHandle in;
    if (in.open(from, FileMode::Read) != 0) return false;
    FileHandle out;
    std::string temporary;
    if (createReplacementFile(to, out, temporary) != 0) return false;
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const IoResult r = in.readSome(buffer, sizeof buffer);
        if (!r.ok()) {
            ok = false;
            break;
        }
        if (r.count == 0) break;
        if (out.writeAll(buffer, r.count) != 0) {
            ok = false;
            break;
        }
    }
    if (out.close() != 0) ok = false;
    if (ok) {
        const int err = renameNoReplace(temporary, to);
        ok = err == 0 || err == EEXIST;
    }
    removeFile(temporary);
    return ok;
}

}  // namespace

int seedFolder(const std::string& from, const std::string& to) {
    if (!makeFolders(to)) return -1;
    int copied = 0;
    for (const std::string& name : regularFilesIn(from)) {
        const std::string target = joinPath(to, name);
        if (fileStatus(target).kind != FileKind::Missing) continue;
        if (copyFile(joinPath(from, name), target)) ++copied;
    }
    return copied;
}

std::string programFolderOf(const std::string& executableFolder) {
    const std::string installed = installedDataFolder(executableFolder);
    if (installed.empty()) return executableFolder;
    const std::string folder = joinPath(userDataFolder(), userProgramFolderName());
    // Seed once per folder and process: files the user deletes later stay deleted until
    // the next start.
    static std::mutex mutex;
    static std::set<std::string> seeded;
    std::lock_guard lock(mutex);
    if (seeded.insert(folder).second) seedFolder(installed, folder);
    return folder;
}

std::string programFolder() {
    if (const char* home = std::getenv("NIMBREL_HOME"); home && *home) {
        std::string folder(home);
        while (folder.size() > 1 && isPathSeparator(folder.back())) folder.pop_back();
        return folder;
    }
    return programFolderOf(executableFolder());
}

std::string executableFolder() {
    const std::string exe = executablePath();
    if (exe.empty()) return ".";
    const std::string_view folder = pathFolder(exe);
    if (folder.empty()) return exe.find_first_of("/\\") == 0 ? std::string(1, exe[0]) : ".";
    return std::string(folder);
}

}  // namespace nimbrel
