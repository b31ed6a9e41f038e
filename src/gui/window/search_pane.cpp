#include "gui/window/search_pane.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/logview/line_marks.h"
#include "gui/logview/log_text_view.h"
#include "gui/window/search_results_list.h"
#include "pipeline/settings_store.h"

namespace nimbrel::gui {

namespace {

constexpr int kHistorySize = 20;
constexpr int kTypingPauseMs = 150;
constexpr int kListUpdateMs = 100;
const char16_t kHistoryValue[] = u"Workspace/SearchHistory";

}  // namespace

SearchPane::SearchPane(LogTextView& view, QWidget* parent)
    : QDockWidget(QStringLiteral("Search"), parent),
      view_(view),
      search_(std::make_unique<LogSearch>(view)) {
    setObjectName(QStringLiteral("searchPane"));
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(2);
    auto* row = new QHBoxLayout;
    column->addLayout(row);

    text_ = new QComboBox(body);
    text_->setObjectName(QStringLiteral("searchText"));
    text_->setEditable(true);
    text_->setInsertPolicy(QComboBox::NoInsert);
    text_->setMaxCount(kHistorySize);
    text_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    text_->setMinimumContentsLength(24);
    text_->lineEdit()->setPlaceholderText(QStringLiteral("Search all lines"));
    text_->lineEdit()->setClearButtonEnabled(true);
    text_->addItems(history());
    text_->setCurrentIndex(-1);
    text_->setEditText(QString());
    row->addWidget(text_, 1);

    auto makeCheck = [&](const char* name, const QString& label, const QString& tip) {
        auto* box = new QCheckBox(label, body);
        box->setObjectName(QString::fromLatin1(name));
        box->setToolTip(tip);
        row->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] { apply(); });
        return box;
    };
    regex_ = makeCheck("searchRegex", QStringLiteral("Regular e&xpression"),
                       QStringLiteral("The text is a regular expression"));
    matchCase_ = makeCheck("searchMatchCase", QStringLiteral("Match &case"),
                           QStringLiteral("Upper and lower case differ"));
    wholeWord_ = makeCheck("searchWholeWord", QStringLiteral("&Whole word"),
                           QStringLiteral("Only matches that are whole words"));

    previous_ = new QAction(QStringLiteral("Previous Hit"), this);
    previous_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4));
    previous_->setShortcutContext(Qt::WindowShortcut);
    next_ = new QAction(QStringLiteral("Next Hit"), this);
    next_->setShortcut(QKeySequence(Qt::Key_F4));
    next_->setShortcutContext(Qt::WindowShortcut);
    connect(previous_, &QAction::triggered, this, &SearchPane::goPrevious);
    connect(next_, &QAction::triggered, this, &SearchPane::goNext);
    previousButton_ = new QToolButton(body);
    previousButton_->setObjectName(QStringLiteral("searchPrevious"));
    previousButton_->setArrowType(Qt::UpArrow);
    previousButton_->setToolTip(QStringLiteral("Previous hit (Shift+F4)"));
    connect(previousButton_, &QToolButton::clicked, this, &SearchPane::goPrevious);
    nextButton_ = new QToolButton(body);
    nextButton_->setObjectName(QStringLiteral("searchNext"));
    nextButton_->setArrowType(Qt::DownArrow);
    nextButton_->setToolTip(QStringLiteral("Next hit (F4)"));
    connect(nextButton_, &QToolButton::clicked, this, &SearchPane::goNext);
    row->addWidget(previousButton_);
    row->addWidget(nextButton_);

    count_ = new QLabel(body);
    count_->setObjectName(QStringLiteral("searchCount"));
    count_->setMinimumWidth(
        count_->fontMetrics().horizontalAdvance(QStringLiteral("000,000,000 hits")));
    row->addWidget(count_);

    results_ = new SearchResultsList(view_, body);
    column->addWidget(results_, 1);
    setWidget(body);
    setFocusProxy(text_);

    typing_.setSingleShot(true);
    typing_.setInterval(kTypingPauseMs);
    connect(&typing_, &QTimer::timeout, this, &SearchPane::apply);
    connect(text_->lineEdit(), &QLineEdit::textEdited, this, [this] { typing_.start(); });
    // Enter searches at once and goes to the next hit; a text chosen from the history is
    // searched for.
    // (The key is taken before the combo box sees it: it would pass it on to the line
    // edit a second time.)
    text_->lineEdit()->installEventFilter(this);
    connect(text_, &QComboBox::textActivated, this, [this] { apply(); });
    listUpdate_.setSingleShot(true);
    listUpdate_.setInterval(kListUpdateMs);
    connect(&listUpdate_, &QTimer::timeout, this, &SearchPane::updateList);
    connect(search_.get(), &SearchHits::hitsChanged, this, [this] {
        updateCount();
        if (search_->complete()) {
            listUpdate_.stop();
            updateList();
        } else if (!listUpdate_.isActive()) {
            listUpdate_.start();
        }
    });
    connect(results_, &SearchResultsList::lineActivated, this, &SearchPane::showLine);
    updateCount();
}

SearchPane::~SearchPane() = default;

bool SearchPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            apply();
            remember(text_->currentText());
            goNext();
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void SearchPane::activate() {
    show();
    raise();
    text_->setFocus(Qt::ShortcutFocusReason);
    text_->lineEdit()->selectAll();
}

void SearchPane::setMarkedLines(const LineMarks* marks) {
    if (marks_) disconnect(marks_, nullptr, this, nullptr);
    marks_ = marks;
    if (marks_) connect(marks_, &LineSet::changed, this, &SearchPane::updateList);
    updateList();
}

SearchQuery SearchPane::queryFromControls() const {
    return {text_->currentText(), regex_->isChecked(), matchCase_->isChecked(),
            wholeWord_->isChecked()};
}

void SearchPane::searchFor(const SearchQuery& query) {
    const QSignalBlocker b1(regex_), b2(matchCase_), b3(wholeWord_);
    text_->setEditText(query.text);
    regex_->setChecked(query.regex);
    matchCase_->setChecked(query.matchCase);
    wholeWord_->setChecked(query.wholeWord);
    apply();
}

void SearchPane::apply() {
    typing_.stop();
    const SearchQuery query = queryFromControls();
    if (query == search_->query() && error_.isEmpty()) return;
    search_->setQuery(query, &error_);
    updateCount();
    updateList();
}

QStringList SearchPane::history() const {
    const auto stored = SettingsStore().storedValue(kHistoryValue);
    if (!stored || stored->empty()) return {};
    return QString::fromStdU16String(*stored).split(u'\n').mid(0, kHistorySize);
}

void SearchPane::remember(const QString& text) {
    if (text.isEmpty()) return;
    QStringList list = history();
    list.removeAll(text);
    list.prepend(text);
    list = list.mid(0, kHistorySize);
    SettingsStore().storeText(kHistoryValue, list.join(u'\n').toStdU16String());
    const QSignalBlocker blocker(text_);
    text_->clear();
    text_->addItems(list);
    text_->setCurrentIndex(0);
    text_->setEditText(text);
}

void SearchPane::updateCount() {
    if (!error_.isEmpty()) {
        count_->setText(
            QStringLiteral("<span style='color:#c00000'>%1</span>").arg(error_.toHtmlEscaped()));
        count_->setToolTip(error_);
        return;
    }
    count_->setToolTip(QString());
    if (!search_->searching()) {
        count_->clear();
        return;
    }
    const std::int64_t n = search_->hits()->count();
    QString text = n == 1 ? QStringLiteral("1 hit") : QStringLiteral("%L1 hits").arg(n);
    if (!search_->complete()) text += QStringLiteral(" \u2026");
    count_->setText(text);
}

void SearchPane::updateList() {
    results_->setLines(search_->hits(), marks_ ? marks_->lines() : std::vector<std::int64_t>{});
}

void SearchPane::showLine(std::int64_t line) {
    const auto columns = search_->matchColumns(line);
    if (columns.empty()) {
        view_.setSelection({line, 0}, {line, 0});
    } else {
        view_.setSelection({line, columns.front().first}, {line, columns.front().second});
    }
    results_->setCurrentLine(line);
}

void SearchPane::goNext() {
    const auto hits = search_->hits();
    if (hits->empty()) return;
    std::int64_t line = hits->next(view_.caret().line + 1);
    if (line < 0) line = hits->next(0);  // past the last hit: from the top again
    showLine(line);
}

void SearchPane::goPrevious() {
    const auto hits = search_->hits();
    if (hits->empty()) return;
    std::int64_t line = hits->previous(view_.caret().line - 1);
    if (line < 0) line = hits->previous(INT64_MAX - 1);
    showLine(line);
}

}  // namespace nimbrel::gui
