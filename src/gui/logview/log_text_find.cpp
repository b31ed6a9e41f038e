// Find, find next, replace and replace all of the log view, and the copy of long
// selections: all of them walk the lines in slices (see SliceClock).
#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

#include "gui/logview/find_dialog.h"
#include "gui/logview/find_in_lines.h"
#include "gui/logview/log_edit_history.h"
#include "gui/logview/log_text_colour.h"
#include "gui/logview/log_text_slices.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/shown_lines.h"

namespace nimbrel::gui {

bool LogTextView::find(const QString& text, bool matchCase, bool wholeWord, bool forward) {
    m_findText = text;
    m_findCase = matchCase;
    m_findWord = wholeWord;
    m_findForward = forward;
    if (text.isEmpty()) return false;

    const FindInLines search(m_store, text, matchCase, wholeWord);
    const TextPos start = forward ? std::max(m_anchor, m_caret) : std::min(m_anchor, m_caret);
    const qint64 lines = m_store.lineCount();  // lines arriving meanwhile are not searched
    const quint64 generation = m_generation;
    QPointer<LogTextView> alive(this);
    SliceClock clock;
    // The start line is searched twice: from the start on, and after wrapping around
    // up to the start.
    for (qint64 k = 0; k <= lines; ++k) {
        const qint64 line =
            forward ? (start.line + k) % lines : ((start.line - k) % lines + lines) % lines;
        const bool wrapped = k == lines;
        int from = forward ? 0 : m_store.lineLength(line);
        if (k == 0) from = start.column;
        const int at = search.matchInLine(line, from, forward);
        if (at >= 0 &&
            (!wrapped || (forward ? at < start.column : at + search.length() > start.column))) {
            // Find works on all text: a match on a line the filter hides shows that line.
            revealLine(line);
            setSelection({line, at}, {line, at + search.length()});
            return true;
        }
        clock.tick();
        if (!alive || m_generation != generation) return false;
    }
    return false;
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
    const FindInLines search(m_store, text, matchCase, wholeWord);
    QString replacement = with;
    replacement.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    replacement.replace(u'\r', u'\n');

    // First the lines with matches, found in slices; lines arriving meanwhile are not
    // searched, and an edit or a clear in between ends the command.
    const qint64 lines = m_store.lineCount();
    const quint64 generation = m_generation;
    QPointer<LogTextView> alive(this);
    std::vector<std::int64_t> hitLines;
    {
        SliceClock clock;
        for (qint64 line = 0; line < lines; ++line) {
            if (search.matchInLine(line, 0, true) >= 0) hitLines.push_back(line);
            clock.tick();
            if (!alive) return 0;
            if (m_generation != generation) return 0;
        }
    }
    if (hitLines.empty()) return 0;

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

void LogTextView::copy() {
    if (!hasSelection()) return;
    const TextPos from = std::min(m_anchor, m_caret);
    const TextPos to = std::max(m_anchor, m_caret);
    const bool filtered = m_shown->active();
    if (to.line - from.line < 20000 && !filtered) {
        QGuiApplication::clipboard()->setText(m_store.text(from, to));
        return;
    }
    // A long selection is gathered in slices; the selection it started with is copied
    // even if lines arrive meanwhile.
    const quint64 generation = m_generation;
    QPointer<LogTextView> alive(this);
    SliceClock clock;
    QString text;
    bool first = true;
    // With a filter on, the lines it shows: those of the selection that are on screen.
    for (qint64 line = from.line; line <= to.line; ++line) {
        if (filtered && !m_shown->isShown(line)) continue;
        const int begin = line == from.line ? from.column : 0;
        const QString l = m_store.lineText(line);
        if (!first) text += u'\n';
        first = false;
        text += QStringView(l).mid(begin, line == to.line ? to.column - begin : -1);
        clock.tick();
        if (!alive || m_generation != generation) return;
    }
    QGuiApplication::clipboard()->setText(text);
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
