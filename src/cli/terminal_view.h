// The command line's log view: console lines go to a terminal stream (stderr) as UTF-8,
// optionally coloured (24-bit escapes, or the palette the terminal takes).
#pragma once

#include <cstdio>
#include <mutex>

#include "cli/colour_depth.h"
#include "pipeline/log_view.h"

namespace nimbrel::cli {

enum class ColourMode { Auto, Always, Never };

// Parses "auto", "always" or "never"; false for anything else.
bool parseColourMode(const char* text, ColourMode& mode);
// Whether to colour a stream: Auto colours only a terminal, and never when NO_COLOR is set.
bool useColour(ColourMode mode, std::FILE* stream);

class TerminalView : public LogView {
public:
    TerminalView(std::FILE* stream, bool colour)
        : stream_(stream), colour_(colour), depth_(terminalColourDepth()) {}

    void append(std::u16string_view text, Rgb colour) override;
    void replaceAll(std::u16string_view text, Rgb colour) override;
    void clear() override {}
    bool hasText() const override;
    bool exists() const override { return true; }

private:
    std::FILE* stream_;
    bool colour_;
    ColourDepth depth_;
    mutable std::mutex mutex_;
    bool written_ = false;
};

}  // namespace nimbrel::cli
