// The program folder: where LOG1.h, the per-chip definition files, fwconfig.ini and the
// raw data files live.
//   - NIMBREL_HOME when set;
//   - for an installed program, a per-user folder (Linux: $XDG_DATA_HOME/nimbrel for an
//     executable in <prefix>/bin beside <prefix>/share/nimbrel; Windows:
//     %LOCALAPPDATA%\Nimbrel for an executable in a folder the user cannot write, such as
//     Program Files), created on first use and seeded with the installed definition files
//     it is missing (files the user changed stay);
//   - else the folder of the running executable (a build tree, a portable install).
#pragma once

#include <string>
#include <vector>

namespace nimbrel {

std::string programFolder();

// The program folder for an executable in `executableFolder` when NIMBREL_HOME is not set.
std::string programFolderOf(const std::string& executableFolder);

// Where the installed definition files of an executable in `executableFolder` lie when it
// is an installed program, else empty.
std::string installedDataFolder(const std::string& executableFolder);

// Copies every regular file of `from` that `to` lacks (each written whole under a temporary
// name, then renamed). Returns the number of files copied, or -1 when `to` cannot be made.
int seedFolder(const std::string& from, const std::string& to);

// The folder of the running executable ("." when it cannot be found).
std::string executableFolder();
// The full path of the running executable (empty when it cannot be found).
std::string executablePath();

// Per-user data folder without a trailing separator: $XDG_DATA_HOME (default
// ~/.local/share) on Linux, %LOCALAPPDATA% on Windows.
std::string userDataFolder();
// The program's own folder in userDataFolder(): "nimbrel" on Linux, "Nimbrel" on Windows.
std::string userProgramFolderName();

// Creates a folder and its parents; true when it exists afterwards.
bool makeFolders(const std::string& path);

// Names of the regular files in `folder` (not sorted; empty when it cannot be read).
std::vector<std::string> regularFilesIn(const std::string& folder);

}  // namespace nimbrel
