// Text log files: the view's text saved as UTF-16LE with CR LF line ends, and such a file
// read back line by line through the console, which restores each line's colour from its
// tag and applies the string filter.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nimbrel {

class LogConsole;

// Set by File > Open before its dialog is shown (even when it is then cancelled) and
// never cleared. The lines of an opened file each become one line of the view, whatever
// their line end, and later console messages keep their own line breaks.
extern std::atomic<bool> g_textLogOpened;

// A line of a text log longer than this many characters (UTF-16 units, 1 MiB of text) is
// shown cut into lines of this length, so that a file without line breaks cannot take
// the memory of a whole line at once; a yellow line after the file's lines says so.
inline constexpr std::size_t kLongestTextLogLine = std::size_t{1} << 20;
inline constexpr std::u16string_view kLongLinesCutMessage =
    u"[Y] Lines longer than %u characters in \"%s\" are shown cut into lines of that length.";

struct TextLogReadResult {
    // errno of a failed open or read, EISDIR for a folder, kNotARegularFile for anything
    // else that is not a regular file (platform/mapped_file.h); else 0.
    int error = 0;
    std::uint64_t lines = 0;     // lines handed on, the pieces of cut lines included
    std::uint64_t cutLines = 0;  // lines of the file that were cut
    bool cancelled = false;
};

// Reads a UTF-16LE regular file (anything else is refused, a FIFO without waiting for it)
// and calls `line` with each line, without its LF and without a CR before it; a line
// longer than kLongestTextLogLine is handed on in pieces of that length. A leading
// byte-order mark is dropped, the last line needs no line end, an odd last byte is
// ignored. `progress` (may be empty) gets each new whole percentage of the bytes read;
// `stop` ends the reading after the line or piece being handed on, or before the next
// chunk of the file is read.
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

// File > Open without its dialog: every line of the file is shown literally and whole
// through the console (colour from its tag, dropped when it holds a filter string); only
// lines longer than kLongestTextLogLine are cut, into lines of that length.
TextLogOpenOutcome openTextLog(LogConsole& console, const TextLogOpenOptions& options,
                               const std::atomic<bool>& stop);

// Writes the text as UTF-16LE, each "\n" as CR LF, nothing before or after. The text goes
// to a new file beside `path` that then replaces it, so a failed write leaves any old file
// as it was. 0 on success, else the errno value.
int writeTextLog(const std::string& path, std::u16string_view text);

}  // namespace nimbrel
