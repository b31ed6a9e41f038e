// The range dialog of Open Raw Data: after a complete scan the user picks the part of the
// replay's text file to show, from a start to an end percentage, and whether every line
// gets its colour. OK writes the three values through the caller's pointers (an empty edit
// gives 0); Cancel writes nothing.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace nimbrel::gui {

class CFilePostionSelectDlg : public QDialog {
    Q_OBJECT
public:
    CFilePostionSelectDlg(int* start, int* end, int* colour, QWidget* parent = nullptr);

    QLineEdit* startEdit() const { return m_startEdit; }
    QLineEdit* endEdit() const { return m_endEdit; }
    QCheckBox* colourCheck() const { return m_colourCheck; }

public slots:
    void accept() override;

private:
    int* start;
    int* end;
    int* colour;
    QLineEdit* m_startEdit;
    QLineEdit* m_endEdit;
    QCheckBox* m_colourCheck;
};

}  // namespace nimbrel::gui
