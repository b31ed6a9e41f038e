// The visual styles of View > Application Look (commands 210-218) as Qt styles and
// palettes that resemble each named look: a classic grey, the XP looks, the 2003 and 2005
// schemes and the four colour schemes of the 2007 look.
#pragma once

#include <QPalette>
#include <QString>

class QWidget;

namespace nimbrel::gui {

// The 2007 look's colour schemes.
enum class Scheme2007 { Blue, Black, Silver, Aqua };

struct LookChoice {
    int id = 214;                          // the look as chosen (may lie outside 210-218)
    bool is2007 = false;                   // the 2007 look (215-218, or any unknown id)
    Scheme2007 scheme = Scheme2007::Blue;  // its scheme, when is2007
};

// What a look id selects: 215-218 set the 2007 scheme; any id outside 210-218 gives the
// 2007 look with the scheme unchanged (`current`).
LookChoice lookFor(int id, Scheme2007 current);

// The Qt style ("Windows" for the classic look, else "Fusion") and the palette of a choice.
QString lookStyleName(const LookChoice& look);
QPalette lookPalette(const LookChoice& look);

// Applies a look to the whole application with the wait cursor shown, and repaints every
// window at once.
void applyLook(const LookChoice& look);

}  // namespace nimbrel::gui
