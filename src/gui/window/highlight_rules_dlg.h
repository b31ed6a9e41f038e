// View > Highlight Rules: a table of rules (on, text or regular expression, match case,
// colour) with Add, Remove and a colour chooser; OK keeps them.
#pragma once

#include <QDialog>
#include <vector>

#include "gui/window/highlight_rules.h"

class QLabel;
class QTableWidget;

namespace nimbrel::gui {

class HighlightRulesDlg : public QDialog {
    Q_OBJECT
public:
    HighlightRulesDlg(std::vector<HighlightRule> rules, QWidget* parent = nullptr);
    // The rules as the table holds them.
    std::vector<HighlightRule> rules() const;
    QTableWidget* table() const { return table_; }
    void addRule(const HighlightRule& rule);

private:
    void chooseColour(int row);
    void check();

    QTableWidget* table_;
    QLabel* problem_;
};

}  // namespace nimbrel::gui
