// The program folder: where LOG1.h, the per-chip definition files, fwconfig.ini and the
// raw data files live.
//   - NIMBREL_HOME when set;
//   - for an installed program (its definition files in <prefix>/share/nimbrel beside
//     <prefix>/bin), the per-user folder $XDG_DATA_HOME/nimbrel, created on first use and
//     seeded with the installed files it is missing (files the user changed stay);
//   - else the folder of the running executable (a build tree).
#pragma once

#include <string>

namespace nimbrel {

std::string programFolder();

// The program folder for an executable in `executableFolder` when NIMBREL_HOME is not set.
std::string programFolderOf(const std::string& executableFolder);

// "<prefix>/share/nimbrel" for an executable in "<prefix>/bin" when that folder exists,
// else empty.
std::string installedDataFolder(const std::string& executableFolder);

// Copies every regular file of `from` that `to` lacks (each written whole under a temporary
// name, then renamed). Returns the number of files copied, or -1 when `to` cannot be made.
int seedFolder(const std::string& from, const std::string& to);

// Per-user data folder ($XDG_DATA_HOME, default ~/.local/share), without a trailing '/'.
std::string userDataFolder();

// Creates a folder and its parents; true when it exists afterwards.
bool makeFolders(const std::string& path);

}  // namespace nimbrel
