// Setting > Add String Filter: edits the list of strings whose lines are not shown. Add
// ignores an empty text and an exact duplicate ("abc" and "ABC" are both kept), Delete
// removes every selected item, OK replaces the filter with the list, Cancel changes nothing.
#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace nimbrel {
class StringFilter;
}

namespace nimbrel::gui {

class CStrFilterDlg : public QDialog {
    Q_OBJECT
public:
    explicit CStrFilterDlg(StringFilter& filter, QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    QListWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }

public slots:
    void OnAdd();
    void OnDelete();
    void accept() override;

private:
    StringFilter& filter_;
    QLineEdit* edit_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* delete_;
};

}  // namespace nimbrel::gui
