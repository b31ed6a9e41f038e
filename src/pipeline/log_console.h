// The one operation by which every part of the system reports to the user: a printf-style
// message, coloured by the first colour tag it carries, dropped when it contains a filter
// string, appended to the view followed by a newline. It waits for room in the view before
// it hands the message over, so its callers hold no lock.
#pragma once

#include <atomic>
#include <initializer_list>
#include <string>
#include <string_view>

#include "pipeline/log_view.h"
#include "pipeline/printf_arg.h"
#include "pipeline/string_filter.h"

namespace nimbrel {

// Longest message shown; longer messages are cut.
inline constexpr std::size_t kConsoleMessageLimit = 2047;

class LogConsole {
public:
    LogConsole(LogView& view, const StringFilter& filter) : view_(view), filter_(filter) {}

    // Formats with printf rules; arbitrary text (a line from a file, device bytes) must be
    // an argument of "%s", never the format.
    void print(std::u16string_view format, std::initializer_list<PrintfArg> args = {});
    // Shows a text literally (same as print(u"%s", {text})).
    void printText(std::u16string_view text);
    // The same for a caller that holds a lock: it does not wait for room in the view, so
    // a bounded view may take the text past its bound.
    void printTextWithoutWaiting(std::u16string_view text);
    // Replaces the whole view with this message (progress lines).
    void printReplacingAll(std::u16string_view format, std::initializer_list<PrintfArg> args = {});
    // Shows a text literally without adding a newline (lines of a text log being opened,
    // which carry their own line ends).
    void printTextWithoutNewline(std::u16string_view text);

    LogView& view() { return view_; }
    const StringFilter& filter() const { return filter_; }

private:
    enum class Placement { Append, ReplaceAll };
    void deliver(std::u16string text, Placement placement, bool newline, bool wait = true);

    LogView& view_;
    const StringFilter& filter_;
};

}  // namespace nimbrel
