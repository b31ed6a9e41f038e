#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/file_users.h"

namespace nimbrel {
namespace {

bool isNumber(const char* text) {
    if (!*text) return false;
    for (; *text; ++text) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    }
    return true;
}

bool holds(const std::string& fdFolder, const std::string& target) {
    DIR* dir = ::opendir(fdFolder.c_str());
    if (!dir) return false;
    bool found = false;
    char link[PATH_MAX];
    while (const dirent* e = ::readdir(dir)) {
        if (!isNumber(e->d_name)) continue;
        const ssize_t n = ::readlink((fdFolder + "/" + e->d_name).c_str(), link, sizeof link - 1);
        if (n > 0 && target.compare(0, std::string::npos, link, static_cast<std::size_t>(n)) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string programName(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Holders of an advisory lock on the file, from /proc/locks: "1: FLOCK  ADVISORY  WRITE
// 1234 00:19:5 0 EOF" (device major and minor in hexadecimal, then the inode).
std::vector<FileUser> lockHolders(const std::string& path) {
    std::vector<FileUser> users;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return users;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream in(line);
        std::string number, kind, mode, access, file;
        int pid = 0;
        if (!(in >> number >> kind >> mode >> access >> pid >> file)) continue;  // "->" waiters
        unsigned major = 0, minor = 0;
        unsigned long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%lu", &major, &minor, &inode) != 3) continue;
        if (major != ::major(st.st_dev) || minor != ::minor(st.st_dev) || inode != st.st_ino)
            continue;
        users.push_back({pid, programName(pid)});
    }
    return users;
}

}  // namespace

std::vector<FileUser> processesUsing(const std::string& path) {
    if (std::vector<FileUser> holders = lockHolders(path); !holders.empty()) return holders;
    std::vector<FileUser> users;
    char resolved[PATH_MAX];
    const std::string target = ::realpath(path.c_str(), resolved) ? resolved : path;
    DIR* proc = ::opendir("/proc");
    if (!proc) return users;
    while (const dirent* e = ::readdir(proc)) {
        if (!isNumber(e->d_name)) continue;
        const std::string folder = std::string("/proc/") + e->d_name;
        if (!holds(folder + "/fd", target)) continue;
        const int pid = std::atoi(e->d_name);
        users.push_back({pid, programName(pid)});
    }
    ::closedir(proc);
    return users;
}

}  // namespace nimbrel
