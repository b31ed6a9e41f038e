#include "files/replacing_file.h"

#include <cerrno>

namespace nimbrel {

ReplacingFile::~ReplacingFile() { abandon(); }

int ReplacingFile::open(const std::string& path) {
    abandon();
    target_ = resolvedFilePath(path);
    const FileStatus st = fileStatus(target_);
    if (st.kind == FileKind::Folder) return EISDIR;
    if (st.kind == FileKind::Fifo || st.kind == FileKind::Other) {
        inPlace_ = true;
        return file_.open(target_, FileMode::WriteTruncate);
    }
    return createReplacementFile(target_, file_, temp_);
}

int ReplacingFile::commit() {
    if (!file_.isOpen()) return EBADF;
    int error = inPlace_ ? 0 : file_.flushToDisk();
    if (const int closed = file_.close(); error == 0) error = closed;
    if (!inPlace_ && error == 0) error = replaceFile(temp_, target_);
    if (error != 0 && !temp_.empty()) removeFile(temp_);
    temp_.clear();
    inPlace_ = false;
    return error;
}

void ReplacingFile::abandon() {
    file_.close();
    if (!temp_.empty()) removeFile(temp_);
    temp_.clear();
    inPlace_ = false;
}

}  // namespace nimbrel
