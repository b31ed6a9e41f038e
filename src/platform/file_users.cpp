#include "platform/file_users.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <unistd.h>

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

}  // namespace

std::vector<FileUser> processesUsing(const std::string& path) {
    std::vector<FileUser> users;
    char resolved[PATH_MAX];
    const std::string target = ::realpath(path.c_str(), resolved) ? resolved : path;
    DIR* proc = ::opendir("/proc");
    if (!proc) return users;
    while (const dirent* e = ::readdir(proc)) {
        if (!isNumber(e->d_name)) continue;
        const std::string folder = std::string("/proc/") + e->d_name;
        if (!holds(folder + "/fd", target)) continue;
        FileUser user;
        user.pid = std::atoi(e->d_name);
        std::ifstream comm(folder + "/comm");
        std::getline(comm, user.name);
        users.push_back(std::move(user));
    }
    ::closedir(proc);
    return users;
}

}  // namespace nimbrel
