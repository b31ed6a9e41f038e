// Text log files: the view's text saved as UTF-16LE with CR LF line ends, and such a file
// read back line by line through the console, which restores each line's colour from its
// tag and applies the string filter.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace nimbrel {

class LogConsole;

struct TextLogReadResult {
    int error = 0;  // errno of a failed open or read, else 0
    std::uint64_t lines = 0;
    bool cancelled = false;
};

// Reads a UTF-16LE file and calls `line` with each line, without its LF and without a CR
// before it; a leading byte-order mark is dropped, the last line needs no line end, an odd
// last byte is ignored. `progress` (may be empty) gets each new whole percentage of the
// bytes read; `stop` ends the reading between lines.
TextLogReadResult readTextLog(const std::string& path,
                              const std::function<void(std::u16string_view)>& line,
                              const std::atomic<bool>& stop,
                              const std::function<void(int percent)>& progress = {});

enum class TextLogOpenOutcome {
    Missing,     // "[R] File "..." doesn't exist."
    Unreadable,  // exists but cannot be opened or read (reported in red)
    Cancelled,   // stopped part-way
    Done,
};

struct TextLogOpenOptions {
    std::string path;
    // Called once the file is open, before its first line is shown (the GUI empties the
    // view, sets its caption and remembers LogFilePath).
    std::function<void()> started;
    std::function<void(int percent)> progress;
};

// File > Open without its dialog: every line of the file is shown literally through the
// console (colour from its tag, dropped when it holds a filter string).
TextLogOpenOutcome openTextLog(LogConsole& console, const TextLogOpenOptions& options,
                               const std::atomic<bool>& stop);

// A text log opened to be read in place (the view reads its lines from the file).
struct TextLogSource {
    FileHandle file;
    std::uint64_t size = 0;
};

// File > Open's checks before a text log is read in place: a missing file is reported as
// "[R] File "..." doesn't exist.", a file that is not a regular file or cannot be read is
// refused in red with the reason. Done with `source` filled, or Missing / Unreadable.
TextLogOpenOutcome openTextLogSource(LogConsole& console, const std::string& path,
                                     TextLogSource& source);

// A text log written piece by piece. The text goes to a new file beside the target that
// replaces it at commit(), so a failed or abandoned save leaves any old file as it was,
// and a file that is open elsewhere (the view reading it in place) keeps its text.
class TextLogWriter {
public:
    TextLogWriter() = default;
    ~TextLogWriter();  // abandons a file not committed
    TextLogWriter(const TextLogWriter&) = delete;
    TextLogWriter& operator=(const TextLogWriter&) = delete;

    // 0, or the errno value.
    int open(const std::string& path);
    // Writes UTF-16 units as UTF-16LE exactly as given (line ends included).
    int write(std::u16string_view units);
    // Writes the rest, syncs it to the disk when `sync` and puts the file in place of the
    // target; 0 or the errno value (the target is then unchanged).
    int commit(bool sync = true);
    void abandon();
    std::uint64_t bytesWritten() const { return written_; }

private:
    int flush();

    std::string target_;
    std::string temp_;
    FileHandle file_;
    int error_ = 0;
    std::string buffer_;
    std::uint64_t written_ = 0;
};

// Writes the text as UTF-16LE, each "\n" as CR LF, nothing before or after, through a
// TextLogWriter. 0 on success, else the errno value.
int writeTextLog(const std::string& path, std::u16string_view text);

}  // namespace nimbrel
