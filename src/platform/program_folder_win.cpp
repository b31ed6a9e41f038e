// The program folder's facilities on Windows: the executable's folder from the module
// path, %LOCALAPPDATA%, and the installed layout: an executable in a folder its user cannot
// write (Program Files), whose definition files lie beside it.
#include "platform/program_folder.h"

// <windows.h> comes before the other Windows headers.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "platform/file_handle.h"
#include "platform/path.h"
#include "platform/win_util.h"

namespace nimbrel {

std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return win::narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string installedDataFolder(const std::string& executableFolder) {
    // A portable install (or a build tree) writes beside its executable.
    if (checkWritableFolder(executableFolder) == 0) return {};
    return executableFolder;
}

std::string userDataFolder() {
    PWSTR known = nullptr;
    std::string folder;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK && known)
        folder = win::narrow(known);
    ::CoTaskMemFree(known);
    if (folder.empty()) {
        const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
        if (n > 1) {
            std::wstring value(n, L'\0');
            value.resize(::GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), n));
            folder = win::narrow(value);
        }
    }
    while (folder.size() > 3 && isPathSeparator(folder.back())) folder.pop_back();
    return folder.empty() ? "." : folder;
}

std::string userProgramFolderName() { return "Nimbrel"; }

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    const std::wstring wide = win::widen(path);
    // Each prefix that ends before a separator, skipping a drive ("C:") or a UNC server.
    for (std::size_t i = 1; i <= wide.size(); ++i) {
        if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
        const std::wstring partial = wide.substr(0, i);
        if (partial.back() == L':' || partial.find_first_not_of(L"\\/") == std::wstring::npos)
            continue;
        if (!::CreateDirectoryW(partial.c_str(), nullptr)) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_ALREADY_EXISTS && code != ERROR_ACCESS_DENIED) return false;
        }
    }
    return fileStatus(path).kind == FileKind::Folder;
}

std::vector<std::string> regularFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(win::widen(joinPath(folder, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
            names.push_back(win::narrow(found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

}  // namespace nimbrel
