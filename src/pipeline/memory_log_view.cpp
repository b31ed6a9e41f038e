#include "pipeline/memory_log_view.h"

namespace nimbrel {

void MemoryLogView::append(std::u16string_view text, Rgb colour) {
    std::lock_guard lock(mutex_);
    runs_.push_back({std::u16string(text), colour});
}

void MemoryLogView::replaceAll(std::u16string_view text, Rgb colour) {
    std::lock_guard lock(mutex_);
    runs_.clear();
    runs_.push_back({std::u16string(text), colour});
}

void MemoryLogView::clear() {
    std::lock_guard lock(mutex_);
    runs_.clear();
}

bool MemoryLogView::hasText() const {
    std::lock_guard lock(mutex_);
    for (const Run& r : runs_) {
        if (!r.text.empty()) return true;
    }
    return false;
}

bool MemoryLogView::exists() const {
    std::lock_guard lock(mutex_);
    return exists_;
}

void MemoryLogView::setExists(bool exists) {
    std::lock_guard lock(mutex_);
    exists_ = exists;
}

std::u16string MemoryLogView::plainText() const {
    std::lock_guard lock(mutex_);
    std::u16string all;
    for (const Run& r : runs_) all += r.text;
    return all;
}

std::vector<MemoryLogView::Run> MemoryLogView::runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

std::vector<MemoryLogView::Run> MemoryLogView::lines() const {
    std::lock_guard lock(mutex_);
    std::vector<Run> out;
    bool atLineStart = true;
    for (const Run& r : runs_) {
        for (char16_t c : r.text) {
            if (atLineStart) {
                out.push_back({u"", r.colour});
                atLineStart = false;
            }
            if (c == u'\n') {
                atLineStart = true;
            } else {
                out.back().text.push_back(c);
            }
        }
    }
    return out;
}

}  // namespace nimbrel
