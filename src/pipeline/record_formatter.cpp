#include "pipeline/record_formatter.h"

#include "pipeline/line_output.h"
#include "pipeline/log_console.h"
#include "pipeline/string_filter.h"
#include "pipeline/text_trim.h"

namespace nimbrel {

using namespace std::string_view_literals;

RecordFormatter::RecordFormatter(const MessageDefinitionTable& definitions, LogConsole& console,
                                 FormatterToggles& toggles)
    : console_(console), toggles_(toggles), composer_(definitions, toggles) {}

void RecordFormatter::onRecord(const RecordRef& record, bool) { formatAndShow(record, nullptr); }

void RecordFormatter::setLineOutput(LineOutput* output) {
    std::lock_guard lock(mutex_);
    output_ = output;
}

void RecordFormatter::resetLastStamp() {
    std::lock_guard lock(mutex_);
    composer_.resetLastStamp();
}

void RecordFormatter::clear() {
    std::lock_guard lock(mutex_);
    console_.view().clear();
    m_lineNumber = 1;
}

void RecordFormatter::setPaused(bool paused) { toggles_.setPaused(paused); }
bool RecordFormatter::paused() const { return toggles_.paused(); }
bool RecordFormatter::clearEnabled() const { return console_.view().hasText(); }
std::u16string_view RecordFormatter::pauseMenuText() const {
    return paused() ? u"Continue"sv : u"Pause"sv;
}

std::int64_t RecordFormatter::lineNumber() const {
    std::lock_guard lock(mutex_);
    return m_lineNumber;
}

FormatCounts RecordFormatter::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

void RecordFormatter::formatAndShow(const RecordRef& record, const RawStamp* stamp) {
    // Room in the view first, before the lock that Clear and the menus take on the GUI
    // thread: under it the line is only built and handed over, which never waits.
    console_.view().waitForRoom();
    std::lock_guard lock(mutex_);
    const auto [line, colour, parameterError, undefinedIndex] =
        composer_.compose(record, stamp, m_lineNumber);
    if (parameterError) ++counts_.parameterErrors;
    if (undefinedIndex) ++counts_.undefinedIndices;

    if (toggles_.paused(std::memory_order_relaxed)) {
        m_pendingText.append(line);
        m_pendingText.push_back(u'\n');
        ++m_lineNumber;
        return;
    }
    if (!m_pendingText.empty()) flushPendingLocked();

    if (console_.filter().matches(line)) {
        ++m_lineNumber;
        return;
    }
    if (!output_ && !console_.view().exists()) return;

    // Deliver the line trimmed of white space at both ends, followed by exactly one newline.
    const std::u16string_view trimmed = trimWhiteSpace(line);
    const auto lead = static_cast<std::size_t>(trimmed.data() - line.data());
    line.resize(lead + trimmed.size());
    line.push_back(u'\n');
    const std::u16string_view text = std::u16string_view(line).substr(lead);
    if (output_) {
        output_->writeLine(text, colour);
    } else {
        console_.view().append(text, colour);
    }
    ++m_lineNumber;
}

// Shows the lines held back while paused, each through the console so that it takes the
// colour of the tag it carries. They go past a bounded view's limit at once (they are in
// memory already): nothing waits under the lock.
void RecordFormatter::flushPendingLocked() {
    std::u16string pending;
    pending.swap(m_pendingText);
    std::u16string_view rest = pending;
    while (!rest.empty()) {
        const auto nl = rest.find(u'\n');
        const std::u16string_view piece = rest.substr(0, nl);
        console_.printTextWithoutWaiting(piece);
        rest = nl == std::u16string_view::npos ? std::u16string_view{} : rest.substr(nl + 1);
    }
}

}  // namespace nimbrel
