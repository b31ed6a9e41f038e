// Colours of the log view: the store's packed 0xRRGGBB values and QColor, and the
// printed colour of a line (log colours are chosen for a black screen; some of them
// vanish on white paper).
#pragma once

#include <QColor>

#include "gui/logview/line_store.h"

namespace nimbrel::gui {

inline Colour colourValue(const QColor& c) {
    return (static_cast<Colour>(c.red()) << 16) | (static_cast<Colour>(c.green()) << 8) |
           static_cast<Colour>(c.blue());
}

inline QColor colourOf(Colour v) { return QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF); }

// The background of selected text, and of the current row of lists that go with the view.
inline const QColor kSelectionBackground(38, 79, 120);

// The colour a screen colour prints in on white paper: dark enough to read (relative
// contrast to white of at least 4.5), same hue.
QColor printColour(const QColor& screen);

}  // namespace nimbrel::gui
