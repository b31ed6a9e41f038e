#include "cli/terminal_view.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "files/text_line_writer.h"
#include "platform/console.h"
#include "platform/text.h"

namespace nimbrel::cli {

bool parseColourMode(const char* text, ColourMode& mode) {
    if (std::strcmp(text, "auto") == 0) {
        mode = ColourMode::Auto;
    } else if (std::strcmp(text, "always") == 0) {
        mode = ColourMode::Always;
    } else if (std::strcmp(text, "never") == 0) {
        mode = ColourMode::Never;
    } else {
        return false;
    }
    return true;
}

bool useColour(ColourMode mode, std::FILE* stream) {
    if (mode == ColourMode::Never) return false;
    if (mode == ColourMode::Always) {
        enableTerminalColours(stream);
        return true;
    }
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour && *noColour) return false;
    // A console that cannot show colour escapes gets plain text.
    return isTerminal(stream) && enableTerminalColours(stream);
}

void TerminalView::append(std::u16string_view text, Rgb colour) {
    std::string out;
    if (colour_ && !text.empty()) {
        appendColouredUtf8(out, text, colour, depth_);
    } else {
        appendUtf8(out, text);
    }
    std::lock_guard lock(mutex_);
    std::fwrite(out.data(), 1, out.size(), stream_);
    std::fflush(stream_);
    written_ = written_ || !text.empty();
}

// A terminal cannot take back what it printed: the new text simply follows.
void TerminalView::replaceAll(std::u16string_view text, Rgb colour) { append(text, colour); }

bool TerminalView::hasText() const {
    std::lock_guard lock(mutex_);
    return written_;
}

}  // namespace nimbrel::cli
