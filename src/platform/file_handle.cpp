// The parts of file access that are the same on every platform.
#include "platform/file_handle.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace nimbrel {

int openRegularFileForReading(const std::string& path, FileHandle& file, std::uint64_t& size) {
    // Anything else is refused before it is opened: opening a device may have effects.
    if (const FileKind kind = fileStatus(path).kind;
        kind == FileKind::Fifo || kind == FileKind::Other)
        return kNotARegularFile;
    FileHandle opened;
    if (const int err = opened.open(path, FileMode::Read); err != 0) {
        // Opening a folder for reading fails on some platforms instead of succeeding.
        return fileStatus(path).kind == FileKind::Folder ? EISDIR : err;
    }
    const FileStatus st = fileStatus(path);
    if (st.kind == FileKind::Folder) return EISDIR;
    if (st.kind != FileKind::Regular)
        return st.kind == FileKind::Missing ? st.error : kNotARegularFile;
    std::uint64_t bytes = 0;
    if (const int err = opened.size(bytes); err != 0) return err;
    file = std::move(opened);
    size = bytes;
    return 0;
}

std::string fileErrorText(int error) {
    return error == kNotARegularFile ? "not a regular file" : std::strerror(error);
}

int readWholeFile(const std::string& path, std::size_t limit, std::string& bytes) {
    FileHandle file;
    std::uint64_t size = 0;
    if (const int err = openRegularFileForReading(path, file, size); err != 0) return err;
    if (size > limit) return EFBIG;
    // One byte more than announced, to see a file that grew meanwhile.
    bytes.assign(static_cast<std::size_t>(size) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit) return EFBIG;
            bytes.resize(std::min(limit + 1, filled * 2));
        }
        const IoResult r = file.readSome(bytes.data() + filled, bytes.size() - filled);
        if (!r.ok()) return r.error;
        if (r.count == 0) break;
        filled += r.count;
    }
    bytes.resize(filled);
    return 0;
}

}  // namespace nimbrel
