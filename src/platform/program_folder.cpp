#include "platform/program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {
namespace {

std::string executableFolder() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string exe(path, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return exe.substr(0, slash);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t w = ::write(fd, data, size);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        size -= static_cast<std::size_t>(w);
    }
    return true;
}

// Copies one file to `to` through a temporary name, so that a reader never sees half a file.
bool copyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const std::string temporary = to + ".part" + std::to_string(::getpid());
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    while (ok) {
        const ssize_t r = ::read(in, buffer, sizeof buffer);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = r == 0;
            break;
        }
        ok = writeAll(out, buffer, static_cast<std::size_t>(r));
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0) ok = false;
    // link() keeps a file that appeared meanwhile (another process seeding, the user).
    ok = ok && (::link(temporary.c_str(), to.c_str()) == 0 || errno == EEXIST);
    ::unlink(temporary.c_str());
    return ok;
}

}  // namespace

std::string installedDataFolder(const std::string& executableFolder) {
    const auto slash = executableFolder.rfind('/');
    if (slash == std::string::npos || executableFolder.substr(slash + 1) != "bin") return {};
    const std::string data = executableFolder.substr(0, slash) + "/share/nimbrel";
    return isFolder(data) ? data : std::string();
}

int seedFolder(const std::string& from, const std::string& to) {
    if (!makeFolders(to)) return -1;
    DIR* dir = ::opendir(from.c_str());
    if (!dir) return 0;
    int copied = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat source {
        }, target{};
        if (::stat((from + "/" + name).c_str(), &source) != 0 || !S_ISREG(source.st_mode)) continue;
        if (::lstat((to + "/" + name).c_str(), &target) == 0) continue;
        if (copyFile(from + "/" + name, to + "/" + name)) ++copied;
    }
    ::closedir(dir);
    return copied;
}

std::string programFolderOf(const std::string& executableFolder) {
    const std::string installed = installedDataFolder(executableFolder);
    if (installed.empty()) return executableFolder;
    const std::string folder = userDataFolder() + "/nimbrel";
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
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return folder;
    }
    return programFolderOf(executableFolder());
}

std::string userDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share";
}

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace nimbrel
