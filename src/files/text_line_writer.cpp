#include "files/text_line_writer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/text.h"

namespace nimbrel {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;

}  // namespace

void appendColouredUtf8(std::string& out, std::u16string_view line, Rgb colour) {
    char sgr[32];
    const int n = std::snprintf(sgr, sizeof sgr, "\x1b[38;2;%u;%u;%um", colour.r, colour.g, colour.b);
    out.append(sgr, static_cast<std::size_t>(n));
    const bool newline = !line.empty() && line.back() == u'\n';
    appendUtf8(out, newline ? line.substr(0, line.size() - 1) : line);
    out.append("\x1b[0m");
    if (newline) out.push_back('\n');
}

TextLineWriter::~TextLineWriter() { close(); }

int TextLineWriter::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return errno;
    ownsFd_ = true;
    error_ = 0;
    buffer_.reserve(kFlushAt + 4096);
    return 0;
}

void TextLineWriter::attach(int fd) {
    close();
    fd_ = fd;
    ownsFd_ = false;
    error_ = 0;
    buffer_.reserve(kFlushAt + 4096);
}

void TextLineWriter::writeLine(std::u16string_view line, Rgb colour) {
    if (colour_) {
        appendColouredUtf8(buffer_, line, colour);
    } else {
        appendUtf8(buffer_, line);
    }
    if (buffer_.size() >= kFlushAt) flush();
}

void TextLineWriter::writeText(std::u16string_view text) {
    appendUtf8(buffer_, text);
    if (buffer_.size() >= kFlushAt) flush();
}

int TextLineWriter::flush() {
    std::size_t done = 0;
    while (fd_ >= 0 && done < buffer_.size()) {
        const ssize_t w = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (!error_) error_ = errno;
            break;
        }
        done += static_cast<std::size_t>(w);
    }
    buffer_.clear();
    return error_;
}

int TextLineWriter::close() {
    if (fd_ < 0) return error_;
    flush();
    if (ownsFd_ && ::close(fd_) != 0 && !error_) error_ = errno;
    fd_ = -1;
    ownsFd_ = false;
    return error_;
}

}  // namespace nimbrel
