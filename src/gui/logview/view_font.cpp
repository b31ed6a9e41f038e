#include "gui/logview/view_font.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace nimbrel::gui {
namespace {

QFont sized(QFont font) {
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace

bool looksFixedPitch(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal narrow = metrics.horizontalAdvance(QLatin1Char('i'));
    return narrow > 0 && qFuzzyCompare(narrow, metrics.horizontalAdvance(QLatin1Char('W'))) &&
           qFuzzyCompare(narrow, metrics.horizontalAdvance(QLatin1Char('0')));
}

QFont firstFixedLooking(const QList<QFont>& candidates) {
    for (const QFont& font : candidates) {
        if (looksFixedPitch(font)) return font;
    }
    return candidates.isEmpty() ? QFont() : candidates.back();
}

QFont viewFont() {
    QFont preferred(QStringLiteral("宋体"));
    preferred.setStyleHint(QFont::TypeWriter);
    preferred.setFixedPitch(true);
    QList<QFont> candidates{sized(preferred)};
    for (const char* family : {"Monospace", "DejaVu Sans Mono", "Noto Sans Mono", "Noto Mono",
                               "Liberation Mono", "Courier New"}) {
        candidates << sized(QFont(QString::fromLatin1(family)));
    }
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family)) candidates << sized(QFont(family));
    }
    // When nothing lines up, the system's fixed face is still the best guess.
    candidates << sized(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return firstFixedLooking(candidates);
}

}  // namespace nimbrel::gui
