#include "gui/window/application_look.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace nimbrel::gui {
namespace {

struct Colours {
    const char* window;
    const char* button;
    const char* windowText;
    const char* highlight;
    const char* highlightedText;
};

constexpr Colours kWindows2000{"#d4d0c8", "#d4d0c8", "#000000", "#0a246a", "#ffffff"};
constexpr Colours kOfficeXp{"#f3f2ee", "#dbd8d1", "#000000", "#b6bdd2", "#000000"};
constexpr Colours kWindowsXp{"#ece9d8", "#ece9d8", "#000000", "#316ac5", "#ffffff"};
constexpr Colours kOffice2003{"#c3daf9", "#ddecfe", "#000000", "#ffd38c", "#000000"};
constexpr Colours kVs2005{"#f0efe6", "#e5e3d7", "#000000", "#c1d2ee", "#000000"};
constexpr Colours k2007Blue{"#bfdbff", "#d5e6fa", "#15428b", "#ffe7a2", "#000000"};
constexpr Colours k2007Black{"#535353", "#6b6b6b", "#ffffff", "#ffd85c", "#000000"};
constexpr Colours k2007Silver{"#d0d4dd", "#e3e6ec", "#000000", "#ffe7a2", "#000000"};
constexpr Colours k2007Aqua{"#b3c6db", "#d4e0eb", "#0f2b51", "#ffe7a2", "#000000"};

const Colours& coloursOf(const LookChoice& look) {
    if (look.is2007) {
        switch (look.scheme) {
        case Scheme2007::Black: return k2007Black;
        case Scheme2007::Silver: return k2007Silver;
        case Scheme2007::Aqua: return k2007Aqua;
        case Scheme2007::Blue: break;
        }
        return k2007Blue;
    }
    switch (look.id) {
    case 210: return kWindows2000;
    case 211: return kOfficeXp;
    case 212: return kWindowsXp;
    case 213: return kOffice2003;
    default: return kVs2005;
    }
}

}  // namespace

LookChoice lookFor(int id, Scheme2007 current) {
    LookChoice look;
    look.id = id;
    look.scheme = current;
    if (id >= 210 && id <= 214) return look;
    look.is2007 = true;
    if (id >= 215 && id <= 218) look.scheme = static_cast<Scheme2007>(id - 215);
    return look;
}

QString lookStyleName(const LookChoice& look) {
    return !look.is2007 && look.id == 210 ? QStringLiteral("Windows") : QStringLiteral("Fusion");
}

QPalette lookPalette(const LookChoice& look) {
    const Colours& c = coloursOf(look);
    const QColor window(c.window), button(c.button), text(c.windowText);
    QPalette p(button, window);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, window.lighter(110));
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::ToolTipBase, QColor("#ffffe1"));
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::Highlight, QColor(c.highlight));
    p.setColor(QPalette::HighlightedText, QColor(c.highlightedText));
    p.setColor(QPalette::PlaceholderText, QColor(128, 128, 128));
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        p.setColor(QPalette::Disabled, role, QColor(128, 128, 128));
    }
    return p;
}

void applyLook(const LookChoice& look) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QString styleName = lookStyleName(look);
    if (QApplication::style()->name().compare(styleName, Qt::CaseInsensitive) != 0) {
        if (QStyle* style = QStyleFactory::create(styleName)) QApplication::setStyle(style);
    }
    QApplication::setPalette(lookPalette(look));
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) w->repaint();
    }
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace nimbrel::gui
