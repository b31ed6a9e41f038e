#include "gui/window/keyboard_indicators.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QStatusBar>

namespace nimbrel::gui {
namespace {

std::optional<bool> lockState(const QDir& leds, const QString& lock) {
    const QStringList names = leds.entryList({QStringLiteral("*::") + lock},
                                             QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    if (names.isEmpty()) return std::nullopt;
    bool on = false;
    for (const QString& name : names) {
        QFile f(leds.filePath(name + QStringLiteral("/brightness")));
        if (f.open(QIODevice::ReadOnly) && f.readAll().trimmed().toInt() != 0) on = true;
    }
    return on;
}

}  // namespace

LockKeyStates readLockKeyStates(const QString& ledsFolder) {
    const QDir leds(ledsFolder);
    if (!leds.exists()) return {};
    return {lockState(leds, QStringLiteral("capslock")), lockState(leds, QStringLiteral("numlock")),
            lockState(leds, QStringLiteral("scrolllock"))};
}

KeyboardIndicators::KeyboardIndicators(QStatusBar* bar, QString ledsFolder)
    : QObject(bar), ledsFolder_(std::move(ledsFolder)) {
    const char* names[] = {"CAP", "NUM", "SCRL"};
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        auto* label = new QLabel(QString::fromLatin1(names[i]), bar);
        label->setObjectName(QStringLiteral("indicator") + QString::fromLatin1(names[i]));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(label);
        panes_[i] = label;
    }
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &KeyboardIndicators::refresh);
    timer_.start();
    qApp->installEventFilter(this);
    refresh();
}

void KeyboardIndicators::refresh() {
    const LockKeyStates s = readLockKeyStates(ledsFolder_);
    const std::optional<bool> states[] = {s.capsLock, s.numLock, s.scrollLock};
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        const bool known = states[i].has_value();
        panes_[i]->setEnabled(known && *states[i]);
        panes_[i]->setToolTip(known ? QString()
                                    : tr("The system does not tell the state of this key"));
    }
}

bool KeyboardIndicators::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock)
            refresh();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace nimbrel::gui
