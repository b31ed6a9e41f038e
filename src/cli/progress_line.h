// The replay's progress on a terminal: one line redrawn in place as a bar with the
// percentage, cleared when the work ends. Off a terminal nothing is drawn.
#pragma once

#include <cstdio>

namespace nimbrel::cli {

class ProgressLine {
public:
    // Draws on `stream` only when it is a terminal.
    explicit ProgressLine(std::FILE* stream);
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(int percent);
    // Clears the line.
    void finish();

private:
    std::FILE* stream_;
    bool terminal_;
    bool drawn_ = false;
    int width_ = 80;
    int lastPercent_ = -1;
};

}  // namespace nimbrel::cli
