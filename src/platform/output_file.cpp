#include "platform/output_file.h"

#include <cerrno>

namespace nimbrel {

OutputFile::~OutputFile() { discard(); }

int OutputFile::create(const std::string& path) {
    discard();
    const FileStatus status = fileStatus(path);
    if (status.kind == FileKind::Folder) return EISDIR;
    if (status.kind == FileKind::Other) return openExisting(path);
    // Replace the file a link points to, not the link.
    const std::string target = resolvedFilePath(path);
    if (const int error = createReplacementFile(target, file_, temporary_); error != 0) {
        temporary_.clear();
        return error;
    }
    target_ = target;
    return 0;
}

int OutputFile::openExisting(const std::string& path) {
    discard();
    target_ = path;
    return file_.open(path, FileMode::WriteTruncate);
}

int OutputFile::commit() {
    if (!file_.isOpen()) return EBADF;
    if (temporary_.empty()) return file_.close();
    int error = file_.flushToDisk();
    if (const int closeError = file_.close(); error == 0) error = closeError;
    if (error == 0) error = replaceFile(temporary_, target_);
    if (error != 0) removeFile(temporary_);
    temporary_.clear();
    return error;
}

void OutputFile::discard() {
    file_.close();
    if (!temporary_.empty()) removeFile(temporary_);
    temporary_.clear();
}

}  // namespace nimbrel
