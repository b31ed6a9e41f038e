#include "pipeline/log_console.h"

#include "pipeline/color_tag.h"
#include "pipeline/printf_engine.h"
#include "pipeline/text_trim.h"

namespace nimbrel {

void LogConsole::print(std::u16string_view format, std::initializer_list<PrintfArg> args) {
    deliver(formatPrintf(format, args), Placement::Append, true);
}

void LogConsole::printText(std::u16string_view text) {
    deliver(std::u16string(text), Placement::Append, true);
}

void LogConsole::printTextWithoutWaiting(std::u16string_view text) {
    deliver(std::u16string(text), Placement::Append, true, false);
}

void LogConsole::printReplacingAll(std::u16string_view format,
                                   std::initializer_list<PrintfArg> args) {
    deliver(formatPrintf(format, args), Placement::ReplaceAll, true);
}

void LogConsole::printTextWithoutNewline(std::u16string_view text) {
    deliver(std::u16string(text), Placement::Append, false);
}

void LogConsole::deliver(std::u16string text, Placement placement, bool newline, bool wait) {
    if (text.size() > kConsoleMessageLimit) text.resize(kConsoleMessageLimit);
    const std::u16string_view trimmed = trimWhiteSpace(text);
    const Rgb colour = colourOfTags(trimmed).value_or(view_.defaultColour());
    if (filter_.matches(trimmed)) return;
    if (newline) text.push_back(u'\n');
    if (wait) view_.waitForRoom();
    if (placement == Placement::ReplaceAll) {
        view_.replaceAll(text, colour);
    } else {
        view_.append(text, colour);
    }
}

}  // namespace nimbrel
