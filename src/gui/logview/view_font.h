// The log view's face: 9-point "宋体" when it is there, else a face whose columns line up.
// A face counts as fixed pitch by what the user sees, equal advances of "i", "W" and "0",
// not by what it says of itself: some monospaced faces (Noto Sans Mono) do not claim to
// be fixed pitch, and a fixed-pitch alias may resolve to a proportional face.
#pragma once

#include <QFont>
#include <QList>

namespace nimbrel::gui {

// Equal advances of "i", "W" and "0" in this font.
bool looksFixedPitch(const QFont& font);

// The first candidate that looks fixed pitch; the last one when none does.
QFont firstFixedLooking(const QList<QFont>& candidates);

// "宋体", the system's fixed face, then the faces fontconfig and Qt know as monospaced;
// each at 9 points, normal weight.
QFont viewFont();

}  // namespace nimbrel::gui
