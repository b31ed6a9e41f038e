// Find, find next, replace and replace all of the log view, and the copy of long
// selections: all of them walk the lines in slices (see SliceClock).
#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

#include "gui/find_dialog.h"
#include "gui/find_in_lines.h"
#include "gui/log_edit_history.h"
#include "gui/log_text_slices.h"
#include "gui/log_text_view.h"

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
    TextFragment replacement;
    replacement.text = with;
    replacement.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    replacement.text.replace(u'\r', u'\n');
    const qint64 addedLines = replacement.text.count(u'\n');

    int count = 0;
    QPointer<LogTextView> alive(this);
    SliceClock clock;
    m_history->beginGroup();
    std::vector<int> hits;
    for (qint64 line = 0; line < m_store.lineCount(); ++line) {
        hits.clear();
        for (int at = search.matchInLine(line, 0, true); at >= 0;
             at = search.matchInLine(line, at + search.length(), true)) {
            hits.push_back(at);
        }
        // Right to left, so that the columns of the hits before stay valid.
        const std::vector<ColourRun> runs = m_store.lineRuns(line);
        for (auto at = hits.rbegin(); at != hits.rend(); ++at) {
            replacement.runs.clear();
            Colour colour = runs.empty() ? 0x808080 : runs.front().colour;
            for (const ColourRun& r : runs) {
                if (r.start <= *at) colour = r.colour;
            }
            if (!replacement.text.isEmpty())
                replacement.runs.push_back({0, static_cast<int>(replacement.text.size()), colour});
            m_history->apply(m_store, {line, *at}, {line, *at + search.length()}, replacement,
                             false);
            ++count;
        }
        line += addedLines * static_cast<qint64>(hits.size());
        const quint64 generation = m_generation;
        clock.tick();
        if (!alive) return count;
        if (m_generation != generation) break;
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
    if (to.line - from.line < 20000) {
        QGuiApplication::clipboard()->setText(m_store.text(from, to));
        return;
    }
    // A long selection is gathered in slices; the selection it started with is copied
    // even if lines arrive meanwhile.
    const quint64 generation = m_generation;
    QPointer<LogTextView> alive(this);
    SliceClock clock;
    QString text;
    for (qint64 line = from.line; line <= to.line; ++line) {
        const int begin = line == from.line ? from.column : 0;
        const QString l = m_store.lineText(line);
        text += QStringView(l).mid(begin, line == to.line ? to.column - begin : -1);
        if (line != to.line) text += u'\n';
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
