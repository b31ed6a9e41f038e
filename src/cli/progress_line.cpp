#include "cli/progress_line.h"

#include <algorithm>
#include <string>

#include "platform/console.h"

namespace nimbrel::cli {

ProgressLine::ProgressLine(std::FILE* stream)
    : stream_(stream), terminal_(isTerminal(stream) && enableTerminalColours(stream)) {
    if (const int columns = terminalColumns(stream); columns > 0) width_ = columns;
}

void ProgressLine::update(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!terminal_ || percent == lastPercent_) return;
    lastPercent_ = percent;
    // "Analyzing [#####-----]  42 %" fitted to the terminal's width, less one column so
    // the cursor never wraps to a new line.
    const std::string label = "Analyzing raw file ";
    const int barWidth = std::max(0, std::min(50, width_ - 1 - static_cast<int>(label.size()) - 8));
    const int filled = barWidth * percent / 100;
    std::string line = "\r" + label;
    if (barWidth > 0)
        line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(barWidth - filled), '-') + "]";
    char tail[16];
    std::snprintf(tail, sizeof tail, " %3d %%", percent);
    line += tail;
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    drawn_ = true;
}

void ProgressLine::finish() {
    if (!drawn_) return;
    std::fputs("\r\x1b[K", stream_);
    std::fflush(stream_);
    drawn_ = false;
}

}  // namespace nimbrel::cli
