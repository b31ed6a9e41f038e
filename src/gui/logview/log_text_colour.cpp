#include "gui/logview/log_text_colour.h"

#include <cmath>

namespace nimbrel::gui {

namespace {

double linear(double channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

}  // namespace

QColor printColour(const QColor& screen) {
    // A luminance of at most 0.18 keeps a contrast of 1.05 / 0.23 = 4.5 to white, the
    // usual bound for body text: dark yellow and dark grey instead of the screen's bright
    // yellow and grey.
    constexpr double kMaxLuminance = 0.18;
    QColor c = screen.toRgb();
    for (int i = 0; i < 32 && luminance(c) > kMaxLuminance; ++i) {
        c = QColor(c.red() * 85 / 100, c.green() * 85 / 100, c.blue() * 85 / 100);
    }
    return c;
}

}  // namespace nimbrel::gui
