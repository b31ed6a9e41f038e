#include "files/text_line_writer.h"

#include <algorithm>
#include <cstdio>

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
    // A replacing file that was never closed is incomplete: it replaces nothing.
    if (replacing_.isOpen()) {
        abandon();
    } else {
        close();
    }
}

int TextLineWriter::open(const std::string& path) {
    close();
    error_ = 0;
    return file_.open(path, FileMode::WriteTruncate);
}

int TextLineWriter::openReplacing(const std::string& path) {
    close();
    error_ = 0;
    return replacing_.open(path);
}

void TextLineWriter::attachStandardOutput() {
    close();
    file_ = FileHandle::standardOutput();
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
    FileHandle& file = out();
    if (!file.isOpen()) return;
    if (const int err = file.writeAll(data, size); err != 0 && !error_) error_ = err;
}

int TextLineWriter::flush() {
    if (used_ > 0) writeAll(buffer_.get(), used_);
    used_ = 0;
    return error_;
}

int TextLineWriter::close() {
    if (replacing_.isOpen()) {
        flush();
        if (error_) {
            replacing_.abandon();
        } else {
            error_ = replacing_.commit();
        }
        return error_;
    }
    if (!file_.isOpen()) return error_;
    flush();
    if (const int err = file_.close(); err != 0 && !error_) error_ = err;
    return error_;
}

void TextLineWriter::abandon() {
    used_ = 0;
    replacing_.abandon();
    file_.close();
}

}  // namespace nimbrel
