// The program folder's facilities on Linux: the executable from /proc, XDG folders, and
// the installed layout <prefix>/bin + <prefix>/share/nimbrel.
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/program_folder.h"

namespace nimbrel {

std::string executablePath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    return std::string(path, static_cast<std::size_t>(n));
}

std::string installedDataFolder(const std::string& executableFolder) {
    const auto slash = executableFolder.rfind('/');
    if (slash == std::string::npos || executableFolder.substr(slash + 1) != "bin") return {};
    const std::string data = executableFolder.substr(0, slash) + "/share/nimbrel";
    struct stat st {};
    return ::stat(data.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? data : std::string();
}

std::string userDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share";
}

std::string userProgramFolderName() { return "nimbrel"; }

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

std::vector<std::string> regularFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace nimbrel
