#include <atomic>
#include <cerrno>
#include <utility>
#include <windows.h>

#include "platform/file_handle.h"
#include "platform/path.h"
#include "platform/win_util.h"

namespace nimbrel {
namespace {

HANDLE handleOf(FileHandle::Native native) { return reinterpret_cast<HANDLE>(native); }

// Reads and writes go in pieces a DWORD can count.
constexpr std::size_t kMostPerCall = 1u << 30;

}  // namespace

FileHandle::~FileHandle() { close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept
    : native_(std::exchange(other.native_, kInvalid)), owned_(other.owned_) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        native_ = std::exchange(other.native_, kInvalid);
        owned_ = other.owned_;
    }
    return *this;
}

FileHandle FileHandle::standardOutput() {
    return FileHandle(reinterpret_cast<Native>(::GetStdHandle(STD_OUTPUT_HANDLE)), false);
}

int FileHandle::open(const std::string& path, FileMode mode) {
    close();
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
    case FileMode::Read: break;
    case FileMode::WriteTruncate:
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        break;
    case FileMode::Append:
        access = FILE_APPEND_DATA;
        disposition = OPEN_ALWAYS;
        break;
    case FileMode::CreateNew:
        access = GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    }
    // Others may read, write and delete meanwhile, as they may on POSIX: a raw data file
    // can be copied during a capture and a replayed file may be replaced.
    const HANDLE h = ::CreateFileW(win::widen(path).c_str(), access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return win::lastErrno();
    native_ = reinterpret_cast<Native>(h);
    owned_ = true;
    return 0;
}

IoResult FileHandle::readSome(void* buffer, std::size_t size) {
    if (!isOpen()) return {0, EBADF};
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(size < kMostPerCall ? size : kMostPerCall);
    if (!::ReadFile(handleOf(native_), buffer, want, &got, nullptr)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return {0, 0};
        return {0, win::errnoFromWin32(code)};
    }
    return {got, 0};
}

IoResult FileHandle::readAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (!isOpen()) return {0, EBADF};
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(size < kMostPerCall ? size : kMostPerCall);
    if (!::ReadFile(handleOf(native_), buffer, want, &got, &at)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_HANDLE_EOF) return {0, 0};
        return {0, win::errnoFromWin32(code)};
    }
    return {got, 0};
}

std::size_t FileHandle::readFullyAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    if (!isOpen()) return 0;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const std::uint64_t at = offset + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const std::size_t left = size - done;
        DWORD got = 0;
        if (!::ReadFile(handleOf(native_), out + done,
                        static_cast<DWORD>(left < kMostPerCall ? left : kMostPerCall), &got,
                        &where) ||
            got == 0)
            break;
        done += got;
    }
    return done;
}

int FileHandle::writeAllAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (!isOpen()) return EBADF;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(offset);
        where.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(size < kMostPerCall ? size : kMostPerCall);
        if (!::WriteFile(handleOf(native_), bytes, want, &put, &where)) return win::lastErrno();
        if (put == 0) return ENOSPC;
        bytes += put;
        size -= put;
        offset += put;
    }
    return 0;
}

// Windows reads ahead on its own for a file read from start to end.
void FileHandle::adviseSequential() {}

int FileHandle::writeAll(const void* data, std::size_t size) {
    if (!isOpen()) return EBADF;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(size < kMostPerCall ? size : kMostPerCall);
        if (!::WriteFile(handleOf(native_), bytes, want, &put, nullptr)) return win::lastErrno();
        if (put == 0) return EIO;
        bytes += put;
        size -= put;
    }
    return 0;
}

int FileHandle::size(std::uint64_t& bytes) const {
    LARGE_INTEGER n{};
    if (!::GetFileSizeEx(handleOf(native_), &n)) return win::lastErrno();
    bytes = n.QuadPart > 0 ? static_cast<std::uint64_t>(n.QuadPart) : 0;
    return 0;
}

int FileHandle::flushToDisk() {
    return ::FlushFileBuffers(handleOf(native_)) ? 0 : win::lastErrno();
}

int FileHandle::close() {
    const Native native = std::exchange(native_, kInvalid);
    if (native == kInvalid || !owned_) return 0;
    return ::CloseHandle(handleOf(native)) ? 0 : win::lastErrno();
}

FileHandle::Native FileHandle::release() { return std::exchange(native_, kInvalid); }

FileStatus fileStatus(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win::widen(path).c_str(), GetFileExInfoStandard, &data))
        return {FileKind::Missing, 0, win::lastErrno()};
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {FileKind::Folder, 0, 0};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return {FileKind::Other, 0, 0};
    return {FileKind::Regular, size, 0};
}

int checkReadable(const std::string& path) {
    FileHandle file;
    return file.open(path, FileMode::Read);
}

int checkWritableFolder(const std::string& folder) {
    const FileStatus st = fileStatus(folder);
    if (st.kind == FileKind::Missing) return st.error;
    if (st.kind != FileKind::Folder) return ENOTDIR;
    // Access rights on Windows are lists that only an attempt reads reliably.
    const std::wstring probe =
        win::widen(folder) + L"\\.nimbrel-probe-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int err = win::lastErrno();
        return err == EEXIST ? 0 : err;
    }
    ::CloseHandle(h);
    return 0;
}

int removeFile(const std::string& path) {
    return ::DeleteFileW(win::widen(path).c_str()) ? 0 : win::lastErrno();
}

int createReplacementFile(const std::string& target, FileHandle& file, std::string& tempPath) {
    // A new file inherits the folder's permissions, as the file it replaces did.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string folder(pathFolder(target));
        const std::string name(pathFileName(target));
        std::string temp = joinPath(folder.empty() ? "." : folder,
                                    "." + name + "." + std::to_string(::GetCurrentProcessId()) +
                                        "." + std::to_string(::GetTickCount64() + attempt));
        FileHandle opened;
        const int err = opened.open(temp, FileMode::CreateNew);
        if (err == EEXIST) continue;
        if (err != 0) return err;
        file = std::move(opened);
        tempPath = std::move(temp);
        return 0;
    }
    return EEXIST;
}

int replaceFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(win::widen(from).c_str(), win::widen(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : win::lastErrno();
}

int renameNoReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExW(win::widen(from).c_str(), win::widen(to).c_str(), MOVEFILE_WRITE_THROUGH)
               ? 0
               : win::lastErrno();
}

int truncateFile(const std::string& path, std::uint64_t size) {
    const HANDLE h =
        ::CreateFileW(win::widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return win::lastErrno();
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    int err = 0;
    if (!::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !::SetEndOfFile(h))
        err = win::lastErrno();
    ::CloseHandle(h);
    return err;
}

std::string resolvedFilePath(const std::string& path) { return path; }

bool sameFile(const std::string& a, const std::string& b) {
    // The volume and the file index name a file whatever path or link leads to it.
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE h = ::CreateFileW(win::widen(path).c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
        ::CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

int createScratchFile(const std::string& folder, FileHandle& file) {
    const std::wstring wide = win::widen(folder);
    for (std::size_t at = 1; at <= wide.size(); ++at) {
        if (at == wide.size() || wide[at] == L'\\' || wide[at] == L'/')
            ::CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    }
    // The system deletes the file when its last handle closes, also after a crash.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = wide + L"\\view-text-" +
                                  std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(counter++);
        const HANDLE h = ::CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            file = FileHandle(reinterpret_cast<FileHandle::Native>(h));
            return 0;
        }
        const int err = win::lastErrno();
        if (err != EEXIST) return err;
    }
    return EEXIST;
}

}  // namespace nimbrel
