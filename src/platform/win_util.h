// Helpers of the Windows backends only: UTF-8 text to and from the wide strings of the
// Win32 API, and the system's error codes as the errno values the rest of the program
// uses. Included by *_win.cpp files alone.
#pragma once

#include <string>
#include <string_view>

namespace nimbrel::win {

// UTF-8 to UTF-16 (wchar_t is UTF-16 on Windows); invalid sequences become U+FFFD.
std::wstring widen(std::string_view utf8);
// UTF-16 to UTF-8.
std::string narrow(std::wstring_view wide);
// A Win32 error code (GetLastError) as an errno value; unknown codes become EIO.
int errnoFromWin32(unsigned long code);
// errnoFromWin32(GetLastError()).
int lastErrno();

}  // namespace nimbrel::win
