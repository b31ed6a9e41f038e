// Paths cross the platform layer in one type: UTF-8 text in a std::string, on every
// platform. The Windows backends turn it into the system's UTF-16 at each call, so any
// file name the system allows passes unchanged; on POSIX it is the system's own bytes.
#pragma once

#include <string>
#include <string_view>

namespace nimbrel {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// '/' everywhere, and '\\' where the platform takes it too.
constexpr bool isPathSeparator(char c) { return c == '/' || (kPathSeparator == '\\' && c == '\\'); }

// folder + separator + name (no doubled separator; an empty folder gives the name).
std::string joinPath(std::string_view folder, std::string_view name);
// The last element of a path ("COM5" of "\\.\COM5", "ttyUSB0" of "/dev/ttyUSB0").
std::string_view pathFileName(std::string_view path);
// Everything before the last element, without the separator ("" when there is none).
std::string_view pathFolder(std::string_view path);

}  // namespace nimbrel
