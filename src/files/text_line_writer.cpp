#include "files/text_line_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/text.h"

namespace nimbrel {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::size_t kColourEscapeRoom = 32;

}  // namespace

void appendColouredUtf8(std::string& out, std::u16string_view line, Rgb colour, ColourDepth depth) {
    appendColourEscape(out, colour, depth);
    const bool newline = !line.empty() && line.back() == u'\n';
    appendUtf8(out, newline ? line.substr(0, line.size() - 1) : line);
    out.append("\x1b[0m");
    if (newline) out.push_back('\n');
}

TextLineWriter::~TextLineWriter() {
    // A replacing file that was never closed is incomplete: it does not replace anything.
    if (replacing_.fd() >= 0) {
        abandon();
    } else {
        close();
    }
}

int TextLineWriter::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return errno;
    ownsFd_ = true;
    error_ = 0;
    return 0;
}

int TextLineWriter::openReplacing(const std::string& path) {
    close();
    if (const int error = replacing_.open(path); error != 0) return error;
    fd_ = replacing_.fd();
    error_ = 0;
    return 0;
}

void TextLineWriter::attach(int fd) {
    close();
    fd_ = fd;
    ownsFd_ = false;
    error_ = 0;
}

char* TextLineWriter::reserve(std::size_t units) {
    const std::size_t need = 3 * units + kColourEscapeRoom;
    if (used_ + need > kBufferSize) flush();
    if (need > kBufferSize) return nullptr;
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    return buffer_.get() + used_;
}

void TextLineWriter::writeLine(std::u16string_view line, Rgb colour) {
    if (colour_) {
        std::string coloured;
        appendColouredUtf8(coloured, line, colour, depth_);
        writeBytes(coloured);
        return;
    }
    if (char* out = reserve(line.size())) {
        used_ += encodeUtf8(out, line);
    } else {
        std::string long_;
        appendUtf8(long_, line);
        writeBytes(long_);
    }
}

void TextLineWriter::writeBytes(std::string_view bytes) {
    if (used_ + bytes.size() > kBufferSize) flush();
    if (bytes.size() > kBufferSize) {
        writeAll(bytes.data(), bytes.size());
        return;
    }
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    std::copy(bytes.begin(), bytes.end(), buffer_.get() + used_);
    used_ += bytes.size();
}

void TextLineWriter::writeAll(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < size) {
        const ssize_t w = ::write(fd_, data + done, size - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (!error_) error_ = errno;
            break;
        }
        done += static_cast<std::size_t>(w);
    }
}

int TextLineWriter::flush() {
    if (used_ > 0) writeAll(buffer_.get(), used_);
    used_ = 0;
    return error_;
}

int TextLineWriter::close() {
    if (fd_ < 0) return error_;
    flush();
    if (replacing_.fd() >= 0) {
        if (error_) {
            replacing_.abandon();
        } else {
            error_ = replacing_.commit();
        }
    } else if (ownsFd_ && ::close(fd_) != 0 && !error_) {
        error_ = errno;
    }
    fd_ = -1;
    ownsFd_ = false;
    return error_;
}

void TextLineWriter::abandon() {
    used_ = 0;
    if (replacing_.fd() >= 0) {
        replacing_.abandon();
    } else if (ownsFd_ && fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    ownsFd_ = false;
}

}  // namespace nimbrel
