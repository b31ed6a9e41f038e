// Buffered UTF-8 line writer: the replay's text file and the command line's stdout.
// Optionally wraps each line in a 24-bit foreground colour escape of its colour.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/colour_escape.h"
#include "files/replacing_file.h"
#include "pipeline/line_output.h"
#include "platform/file_handle.h"

namespace nimbrel {

class TextLineWriter : public LineOutput {
public:
    TextLineWriter() = default;
    // Closes; a file opened with openReplacing that was not closed is abandoned.
    ~TextLineWriter() override;
    TextLineWriter(const TextLineWriter&) = delete;
    TextLineWriter& operator=(const TextLineWriter&) = delete;

    // Creates or truncates the file; 0 on success, else the errno value.
    int open(const std::string& path);
    // Writes a new file beside `path` that replaces it at close() when every line was
    // written (see ReplacingFile); 0 on success, else the errno value.
    int openReplacing(const std::string& path);
    // Writes to the process's standard output.
    void attachStandardOutput();
    void setColour(bool colour, ColourDepth depth = ColourDepth::TrueColour) {
        colour_ = colour;
        depth_ = depth;
    }

    void writeLine(std::u16string_view line, Rgb colour) override;
    // 0 on success, else the errno value of the first failed write.
    int flush();
    // With openReplacing, the file takes the target's place only when nothing failed.
    int close();
    // Closes without putting a file opened with openReplacing in place.
    void abandon();
    int error() const { return error_; }

private:
    // Room for a line of `units` UTF-16 units plus a colour escape, flushing first if needed.
    char* reserve(std::size_t units);
    void writeBytes(std::string_view bytes);
    void writeAll(const char* data, std::size_t size);

    FileHandle file_;
    ReplacingFile replacing_;
    FileHandle& out() { return replacing_.isOpen() ? replacing_.file() : file_; }
    bool colour_ = false;
    ColourDepth depth_ = ColourDepth::TrueColour;
    int error_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// Appends a line as UTF-8 wrapped in a foreground colour escape (24-bit unless `depth` asks
// for a palette); a trailing "\n" stays after the reset so the next line starts clean.
void appendColouredUtf8(std::string& out, std::u16string_view line, Rgb colour,
                        ColourDepth depth = ColourDepth::TrueColour);

}  // namespace nimbrel
