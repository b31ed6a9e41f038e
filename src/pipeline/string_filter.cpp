#include "pipeline/string_filter.h"

#include <algorithm>

namespace nimbrel {

std::shared_ptr<const StringFilter::List> StringFilter::strings() const {
    std::lock_guard lock(mutex_);
    return list_;
}

bool StringFilter::matches(std::u16string_view text) const {
    if (empty_.load(std::memory_order_acquire)) return false;
    const auto list = strings();
    return std::any_of(list->begin(), list->end(), [text](const std::u16string& s) {
        return text.find(s) != std::u16string_view::npos;
    });
}

void StringFilter::replaceAll(List strings) {
    std::erase_if(strings, [](const std::u16string& s) { return s.empty(); });
    auto next = std::make_shared<const List>(std::move(strings));
    std::lock_guard lock(mutex_);
    empty_.store(next->empty(), std::memory_order_release);
    list_ = std::move(next);
}

}  // namespace nimbrel
