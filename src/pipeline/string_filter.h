// The list of strings whose lines are not shown (case-sensitive substring test). The
// list is immutable once published; replaceAll swaps in a whole new list, so a reader on
// another thread sees either the old or the new list.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

class StringFilter {
public:
    using List = std::vector<std::u16string>;

    bool matches(std::u16string_view text) const;
    // Empty strings are dropped: they would hide everything.
    void replaceAll(List strings);
    std::shared_ptr<const List> strings() const;

private:
    std::atomic<bool> empty_{true};  // lets matches() skip the lock when no filter is set
    mutable std::mutex mutex_;       // guards the pointer only, never held while matching
    std::shared_ptr<const List> list_ = std::make_shared<const List>();
};

}  // namespace nimbrel
