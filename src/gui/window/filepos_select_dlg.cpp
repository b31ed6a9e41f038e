#include "gui/window/filepos_select_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace nimbrel::gui {
namespace {

QLineEdit* digitsEdit(const QString& text, const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setMaxLength(99);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

// The decimal value of the leading digits; 0 for an empty text. Values too large for an
// int are capped (the replay clamps them to 100 anyway).
int decimalValue(const QString& text) {
    long long value = 0;
    for (const QChar c : text) {
        if (!c.isDigit()) break;
        value = std::min<long long>(value * 10 + c.digitValue(), std::numeric_limits<int>::max());
    }
    return static_cast<int>(value);
}

}  // namespace

CFilePostionSelectDlg::CFilePostionSelectDlg(int* start_, int* end_, int* colour_, QWidget* parent)
    : QDialog(parent), start(start_), end(end_), colour(colour_) {
    setObjectName(QStringLiteral("filePositionSelectDlg"));
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* prompt = new QLabel(
        QStringLiteral("File is loaded, please select the start and end to be displayed:"), this);
    prompt->setWordWrap(true);
    m_startEdit = digitsEdit(QStringLiteral("0"), QStringLiteral("startEdit"), this);
    m_endEdit = digitsEdit(QStringLiteral("100"), QStringLiteral("endEdit"), this);
    m_colourCheck = new QCheckBox(QStringLiteral("color for every line"), this);
    m_colourCheck->setObjectName(QStringLiteral("colourCheck"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Start：%"), this), 0, 0);
    grid->addWidget(m_startEdit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("End：%"), this), 1, 0);
    grid->addWidget(m_endEdit, 1, 1);
    grid->setColumnMinimumWidth(0, 80);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFilePostionSelectDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFilePostionSelectDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(grid);
    layout->addWidget(m_colourCheck);
    layout->addWidget(buttons);
    setFixedWidth(320);
}

void CFilePostionSelectDlg::accept() {
    *colour = m_colourCheck->isChecked() ? 1 : 0;
    *start = decimalValue(m_startEdit->text().left(99));
    *end = decimalValue(m_endEdit->text().left(99));
    QDialog::accept();
}

}  // namespace nimbrel::gui
