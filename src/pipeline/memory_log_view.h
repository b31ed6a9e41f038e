// A log view held in memory: for tests, fuzzing and headless runs.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "pipeline/log_view.h"

namespace nimbrel {

class MemoryLogView : public LogView {
public:
    struct Run {
        std::u16string text;
        Rgb colour;
    };

    void append(std::u16string_view text, Rgb colour) override;
    void replaceAll(std::u16string_view text, Rgb colour) override;
    void clear() override;
    bool hasText() const override;
    bool exists() const override;
    // The whole text, as a test reads it back.
    std::u16string plainText() const;

    // Coloured runs in order (adjacent appends are kept apart).
    std::vector<Run> runs() const;
    // The text split into lines (without their "\n"), each with the colour of its first
    // character.
    std::vector<Run> lines() const;
    void setExists(bool exists);

private:
    mutable std::mutex mutex_;
    std::vector<Run> runs_;
    bool exists_ = true;
};

}  // namespace nimbrel
