// The program folder: where LOG1.h, the per-chip definition files, fwconfig.ini and the
// raw data files live. NIMBREL_HOME when set, else the folder of the running executable.
#pragma once

#include <string>

namespace nimbrel {

std::string programFolder();

// Per-user data folder ($XDG_DATA_HOME, default ~/.local/share), without a trailing '/'.
std::string userDataFolder();

// Creates a folder and its parents; true when it exists afterwards.
bool makeFolders(const std::string& path);

}  // namespace nimbrel
