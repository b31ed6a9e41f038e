// A line output that keeps every delivered line, for tests that read them while the print
// thread still writes.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/line_output.h"

namespace nimbrel::test {

struct CollectingLines : LineOutput {
    std::mutex mutex;
    std::vector<std::u16string> lines;
    void writeLine(std::u16string_view line, Rgb) override {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    }
    std::size_t size() {
        std::lock_guard lock(mutex);
        return lines.size();
    }
};

}  // namespace nimbrel::test
