// The CAP, NUM and SCRL panes of the status bar. Linux tells the state of the keyboard's
// lock keys through its LED class devices (/sys/class/leds/inputN::capslock and so on);
// a pane is lit while a keyboard reports its lock on, and greyed otherwise or where the
// system tells nothing.
#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>
#include <array>
#include <optional>

class QStatusBar;

namespace nimbrel::gui {

struct LockKeyStates {
    std::optional<bool> capsLock, numLock, scrollLock;  // nothing: the system does not tell
};

// Reads the lock LEDs below a folder laid out like /sys/class/leds: a lock counts as on
// when any device named "*::<lock>" has a non-zero brightness.
LockKeyStates readLockKeyStates(const QString& ledsFolder = QStringLiteral("/sys/class/leds"));

class KeyboardIndicators : public QObject {
    Q_OBJECT
public:
    // Adds the three panes at the right of the status bar and keeps them up to date.
    explicit KeyboardIndicators(QStatusBar* bar,
                                QString ledsFolder = QStringLiteral("/sys/class/leds"));

    // Reads the states now (also done a few times a second and after key presses).
    void refresh();
    QLabel* pane(int index) const { return panes_[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString ledsFolder_;
    std::array<QLabel*, 3> panes_{};
    QTimer timer_;
};

}  // namespace nimbrel::gui
