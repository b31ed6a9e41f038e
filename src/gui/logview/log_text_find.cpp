// Find, find next, replace and replace all of the log view, and the copy of long
// selections. Each walks the lines on the GUI thread for a few milliseconds; what is left
// after that goes on over a snapshot on the view's worker (see TextWorker), and the result
// comes back to the GUI thread.
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <climits>
#include <optional>

#include "gui/logview/find_dialog.h"
#include "gui/logview/find_in_lines.h"
#include "gui/logview/log_edit_history.h"
#include "gui/logview/log_text_colour.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/shown_lines.h"
#include "gui/logview/text_worker.h"

namespace nimbrel::gui {

namespace {

// How long the GUI thread walks the lines itself before the worker takes over, and how
// often it looks at the clock.
constexpr qint64 kAtOnceMs = 15;
constexpr qint64 kClockEvery = 256;
// Shorter selections are copied at once.
constexpr qint64 kCopyAtOnceLines = 20000;

bool timeUp(qint64 step, const QElapsedTimer& clock) {
    return step % kClockEvery == kClockEvery - 1 && clock.elapsed() >= kAtOnceMs;
}

}  // namespace

bool LogTextView::find(const QString& text, bool matchCase, bool wholeWord, bool forward) {
    m_findText = text;
    m_findCase = matchCase;
    m_findWord = wholeWord;
    m_findForward = forward;
    m_textWork->cancel();
    if (text.isEmpty()) {
        emit findFinished(false);
        return false;
    }

    const FindInLines search(m_store, text, matchCase, wholeWord);
    const TextPos start = forward ? std::max(m_anchor, m_caret) : std::min(m_anchor, m_caret);
    const qint64 lines = m_store.lineCount();  // lines arriving meanwhile are not searched
    // The start line is searched twice: from the start on, and after wrapping around up
    // to the start.
    const auto lineAt = [=](qint64 k) {
        return forward ? (start.line + k) % lines : ((start.line - k) % lines + lines) % lines;
    };
    const auto accepted = [=, length = search.length()](qint64 k, int at) {
        return at >= 0 && (k < lines || (forward ? at < start.column : at + length > start.column));
    };
    QElapsedTimer clock;
    clock.start();
    for (qint64 k = 0; k <= lines; ++k) {
        const qint64 line = lineAt(k);
        const int from = k == 0 ? start.column : forward ? 0 : m_store.lineLength(line);
        const int at = search.matchInLine(line, from, forward);
        if (accepted(k, at)) {
            showFound(line, at, search.length());
            return true;
        }
        if (k < lines && timeUp(k, clock)) {
            // The rest on the worker, over the text as it is now.
            const quint64 generation = m_generation;
            m_textWork->start([=, this, snapshot = m_store.snapshot()](
                                  const std::atomic<bool>& cancelled) -> std::function<void()> {
                SnapshotWindow window(*snapshot);
                for (qint64 w = k + 1; w <= lines; ++w) {
                    if (w % kClockEvery == 0 && cancelled.load(std::memory_order_relaxed))
                        return {};
                    const qint64 l = lineAt(w);
                    const int found = search.matchInLine(window, l, forward ? 0 : INT_MAX, forward);
                    if (accepted(w, found)) {
                        return [this, generation, l, found, length = search.length()] {
                            if (m_generation != generation) return void(emit findFinished(false));
                            showFound(l, found, length);
                        };
                    }
                }
                return [this] { emit findFinished(false); };
            });
            return false;
        }
    }
    emit findFinished(false);
    return false;
}

void LogTextView::showFound(qint64 line, int at, int length) {
    // Find works on all text: a match on a line the filter hides shows that line.
    revealLine(line);
    setSelection({line, at}, {line, at + length});
    emit findFinished(true);
}

void LogTextView::findNext() {
    if (m_findText.isEmpty()) return showFindDialog();
    find(m_findText, m_findCase, m_findWord, m_findForward);
}

bool LogTextView::replaceNext(const QString& text, const QString& with, bool matchCase,
                              bool wholeWord) {
    if (text.isEmpty()) return false;
    if (hasSelection()) {
        const TextPos from = std::min(m_anchor, m_caret);
        const FindInLines search(m_store, text, matchCase, wholeWord);
        const bool selectionIsMatch =
            from.line == std::max(m_anchor, m_caret).line &&
            search.matchInLine(from.line, from.column, true) == from.column &&
            std::max(m_anchor, m_caret).column - from.column == search.length();
        if (selectionIsMatch) replaceSelection(with, false);
    }
    return find(text, matchCase, wholeWord, true);
}

int LogTextView::replaceAll(const QString& text, const QString& with, bool matchCase,
                            bool wholeWord) {
    if (text.isEmpty()) return 0;
    m_findText = text;
    m_findCase = matchCase;
    m_findWord = wholeWord;
    m_textWork->cancel();
    const FindInLines search(m_store, text, matchCase, wholeWord);

    // First the lines with matches; lines arriving meanwhile are not searched, and an edit
    // or a clear before the search ends drops the command.
    const qint64 lines = m_store.lineCount();
    std::vector<std::int64_t> hitLines;
    QElapsedTimer clock;
    clock.start();
    for (qint64 line = 0; line < lines; ++line) {
        if (search.matchInLine(line, 0, true) >= 0) hitLines.push_back(line);
        if (line + 1 < lines && timeUp(line, clock)) {
            const quint64 generation = m_generation;
            m_textWork->start(
                [=, this, hits = std::move(hitLines), snapshot = m_store.snapshot()](
                    const std::atomic<bool>& cancelled) mutable -> std::function<void()> {
                    SnapshotWindow window(*snapshot);
                    for (qint64 l = line + 1; l < lines; ++l) {
                        if (l % kClockEvery == 0 && cancelled.load(std::memory_order_relaxed))
                            return {};
                        if (search.matchInLine(window, l, 0, true) >= 0) hits.push_back(l);
                    }
                    return [this, generation, hits = std::move(hits), text, with, matchCase,
                            wholeWord] {
                        const int count =
                            m_generation != generation
                                ? 0
                                : replaceHitLines(FindInLines(m_store, text, matchCase, wholeWord),
                                                  with, hits);
                        emit replaceAllFinished(count);
                    };
                });
            return -1;
        }
    }
    const int count = replaceHitLines(search, with, hitLines);
    emit replaceAllFinished(count);
    return count;
}

int LogTextView::replaceHitLines(const FindInLines& search, const QString& with,
                                 const std::vector<std::int64_t>& hitLines) {
    if (hitLines.empty()) return 0;
    QString replacement = with;
    replacement.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    replacement.replace(u'\r', u'\n');

    // Every match of a line is replaced in one go, each by the colour of the text it
    // replaces.
    int count = 0;
    auto rewrite = [&](std::int64_t line, QString& out, std::vector<ColourRun>& runs) {
        const QString old = m_store.lineText(line);
        const std::vector<ColourRun> oldRuns = m_store.lineRuns(line);
        int done = 0;
        auto copyRuns = [&](int from, int to) {
            for (const ColourRun& r : oldRuns) {
                const int s = std::max(r.start, from);
                const int e = std::min(r.start + r.length, to);
                if (s < e)
                    runs.push_back({s - from + static_cast<int>(out.size()), e - s, r.colour});
            }
        };
        for (int at = search.matchInLine(line, 0, true); at >= 0;
             at = search.matchInLine(line, at + search.length(), true)) {
            copyRuns(done, at);
            out += QStringView(old).mid(done, at - done);
            Colour colour =
                oldRuns.empty() ? colourValue(defaultTextColour()) : oldRuns.front().colour;
            for (const ColourRun& r : oldRuns) {
                if (r.start <= at) colour = r.colour;
            }
            if (!replacement.isEmpty())
                runs.push_back(
                    {static_cast<int>(out.size()), static_cast<int>(replacement.size()), colour});
            out += replacement;
            done = at + search.length();
            ++count;
        }
        copyRuns(done, static_cast<int>(old.size()));
        out += QStringView(old).mid(done);
    };

    m_history->beginGroup();
    // Whole lines change in one pass over the pieces; the last line, still open for
    // appends, is an ordinary edit.
    const qint64 last = m_store.lineCount() - 1;
    std::vector<std::int64_t> complete;
    bool lastHit = false;
    for (const std::int64_t l : hitLines) (l < last ? complete.push_back(l) : void(lastHit = true));
    std::vector<std::int64_t> multiLine;
    if (!replacement.contains(u'\n')) {
        m_history->recordSwap(m_store.rewriteLines(complete, rewrite));
    } else {
        multiLine = complete;
    }
    if (lastHit) multiLine.push_back(last);
    // A replacement with line breaks adds lines: such lines are edited one by one, from
    // the last, so that the line numbers before stay valid.
    for (auto l = multiLine.rbegin(); l != multiLine.rend(); ++l) {
        QString out;
        std::vector<ColourRun> runs;
        rewrite(*l, out, runs);
        TextFragment f{out, runs};
        m_history->apply(m_store, {*l, 0}, {*l, m_store.lineLength(*l)}, f, false);
    }
    m_history->endGroup();
    if (count > 0) {
        const TextPos caret = m_store.clamp(m_caret);
        setSelection(caret, caret);
        afterEdit();
    }
    return count;
}

namespace {

// The text from `from` to `to` of the lines `keep` keeps (all without it), read with
// `read`; nothing when cancelled or a line could not be read.
template <typename Read>
std::optional<QString> gatherLines(TextPos from, TextPos to,
                                   const std::function<bool(std::int64_t)>& keep, const Read& read,
                                   const std::atomic<bool>& cancelled) {
    QString text;
    QString line;
    bool first = true;
    for (qint64 l = from.line; l <= to.line; ++l) {
        if (l % kClockEvery == 0 && cancelled.load(std::memory_order_relaxed)) return {};
        if (keep && !keep(l)) continue;
        if (!read(l, line)) return {};
        const int begin = l == from.line ? from.column : 0;
        if (!first) text += u'\n';
        first = false;
        text += QStringView(line).mid(begin, l == to.line ? to.column - begin : -1);
    }
    return text;
}

}  // namespace

void LogTextView::copy() {
    if (!hasSelection()) return;
    m_textWork->cancel();
    const TextPos from = std::min(m_anchor, m_caret);
    const TextPos to = std::max(m_anchor, m_caret);
    const bool filtered = m_shown->active();
    if (to.line - from.line < kCopyAtOnceLines) {
        if (!filtered) {
            QGuiApplication::clipboard()->setText(m_store.text(from, to));
        } else {
            // With a filter on, the lines it shows: those of the selection on screen.
            const std::atomic<bool> never{false};
            const std::optional<QString> text = gatherLines(
                from, to, [this](std::int64_t l) { return m_shown->isShown(l); },
                [this](qint64 l, QString& out) { return out = m_store.lineText(l), true; }, never);
            if (text) QGuiApplication::clipboard()->setText(*text);
        }
        emit copyFinished();
        return;
    }
    // A long selection is gathered on the worker: the selection it started with is copied
    // even if lines arrive meanwhile, and nothing when the text is edited or cleared.
    const quint64 generation = m_generation;
    m_textWork->start([=, this, keep = m_shown->keeper(), snapshot = m_store.snapshot()](
                          const std::atomic<bool>& cancelled) -> std::function<void()> {
        SnapshotWindow window(*snapshot);
        std::optional<QString> text = gatherLines(
            from, to, keep, [&](qint64 l, QString& out) { return window.text(l, true, out); },
            cancelled);
        if (cancelled.load()) return {};
        return [this, generation, text = std::move(text)] {
            if (text && m_generation == generation) QGuiApplication::clipboard()->setText(*text);
            emit copyFinished();
        };
    });
}

void LogTextView::showFindDialog() {
    if (!m_findDialog) m_findDialog = new FindDialog(this);
    m_findDialog->showFor(
        FindDialog::Mode::Find,
        hasSelection() && m_anchor.line == m_caret.line ? selectedText() : m_findText, m_findCase,
        m_findWord, m_findForward);
}

void LogTextView::showReplaceDialog() {
    if (!m_findDialog) m_findDialog = new FindDialog(this);
    m_findDialog->showFor(
        FindDialog::Mode::Replace,
        hasSelection() && m_anchor.line == m_caret.line ? selectedText() : m_findText, m_findCase,
        m_findWord, true);
}

}  // namespace nimbrel::gui
