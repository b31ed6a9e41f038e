// The search pane, a dock under the log view: the text to search for (with the history of
// earlier searches, kept in the settings), literal or regular expression, match case,
// whole word, the number of hits and the list of every matching line. Typing searches
// again after a short pause; Enter searches at once and goes to the next hit. A click or
// Enter on a row shows its line in the view with the match selected; next and previous
// walk through the hits from the caret.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "gui/logview/log_search.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;

namespace nimbrel::gui {

class LineMarks;
class LogTextView;
class SearchResultsList;

class SearchPane : public QDockWidget {
    Q_OBJECT
public:
    explicit SearchPane(LogTextView& view, QWidget* parent = nullptr);
    ~SearchPane() override;

    LogSearch& search() { return *search_; }
    SearchResultsList& results() { return *results_; }
    // Next and previous hit (F4, Shift+F4): the frame puts them on the window.
    QAction* nextAction() const { return next_; }
    QAction* previousAction() const { return previous_; }
    // Shows the pane with the keyboard in its text box.
    void activate();
    // The marked lines to list among the hits; null for none.
    void setMarkedLines(const LineMarks* marks);
    // The text searched for, its options, and runs the search now.
    void searchFor(const SearchQuery& query);
    QStringList history() const;

    // Selects the first match of `line` in the view (the line's start when it holds none).
    void showLine(std::int64_t line);
    void goNext();
    void goPrevious();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void remember(const QString& text);
    void updateList();
    void updateCount();
    SearchQuery queryFromControls() const;

    LogTextView& view_;
    std::unique_ptr<LogSearch> search_;
    QComboBox* text_;
    QCheckBox* regex_;
    QCheckBox* matchCase_;
    QCheckBox* wholeWord_;
    QToolButton* previousButton_;
    QToolButton* nextButton_;
    QLabel* count_;
    SearchResultsList* results_;
    QAction* next_;
    QAction* previous_;
    QTimer typing_;      // searches once typing pauses
    QTimer listUpdate_;  // the list follows the hits at most this often
    QString error_;
    QPointer<const LineMarks> marks_;
};

}  // namespace nimbrel::gui
