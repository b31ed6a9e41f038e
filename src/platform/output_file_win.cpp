// The Windows side of output files: identity of two paths by volume and file index.
#include <windows.h>

#include "platform/output_file.h"
#include "platform/win_util.h"

namespace nimbrel {
namespace {

bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = ::CreateFileW(win::widen(path).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    return ok;
}

}  // namespace

bool isSameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return fileIdentity(a, first) && fileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// A broken named pipe shows at the next write (ERROR_NO_DATA, as EPIPE).
bool OutputFile::readerGone() const { return false; }

}  // namespace nimbrel
