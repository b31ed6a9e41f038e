#include "gui/window/line_time.h"

namespace nimbrel::gui {
namespace {

constexpr std::int64_t kDayMs = 24 * 60 * 60 * 1000;

bool digitsAt(QStringView s, qsizetype at, int n, int& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        const QChar c = s[at + i];
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> lineTimeMs(QStringView line) {
    // "hh:mm:ss.mmm" followed by the end of the line or a space.
    constexpr qsizetype kLength = 12;
    if (line.size() < kLength) return std::nullopt;
    if (line[2] != u':' || line[5] != u':' || line[8] != u'.') return std::nullopt;
    if (line.size() > kLength && line[kLength] != u' ') return std::nullopt;
    int h = 0, m = 0, s = 0, ms = 0;
    if (!digitsAt(line, 0, 2, h) || !digitsAt(line, 3, 2, m) || !digitsAt(line, 6, 2, s) ||
        !digitsAt(line, 9, 3, ms) || m > 59 || s > 59) {
        return std::nullopt;
    }
    return ((std::int64_t{h} * 60 + m) * 60 + s) * 1000 + ms;
}

std::optional<std::int64_t> timeBetweenMs(QStringView earlier, QStringView later) {
    const std::optional<std::int64_t> a = lineTimeMs(earlier);
    const std::optional<std::int64_t> b = lineTimeMs(later);
    if (!a || !b) return std::nullopt;
    std::int64_t d = *b - *a;
    while (d < 0) d += kDayMs;
    return d;
}

QString timeDeltaText(std::int64_t ms) {
    return QStringLiteral("\u0394 %1.%2 s")
        .arg(ms / 1000)
        .arg(static_cast<int>(ms % 1000), 3, 10, QLatin1Char('0'));
}

}  // namespace nimbrel::gui
