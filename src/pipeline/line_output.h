// Where the formatter's finished lines go instead of the view during a replay to a text
// file (and on the command line's stdout).
#pragma once

#include <string_view>

#include "pipeline/log_view.h"

namespace nimbrel {

class LineOutput {
public:
    virtual ~LineOutput() = default;
    // One finished line including its "\n", in the colour it would have in the view.
    virtual void writeLine(std::u16string_view line, Rgb colour) = 0;
};

}  // namespace nimbrel
