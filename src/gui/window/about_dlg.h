// Help > About: the application icon, the version and OK.
#pragma once

#include <QDialog>

namespace nimbrel::gui {

inline constexpr char kVersionText[] = "Nimbrel, Version 1.1.17.0";

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace nimbrel::gui
