// Foreground colour escapes for terminals: 24-bit where the terminal announces it, else the
// nearest entry of the 256-colour palette or of the 16 basic colours.
#pragma once

#include <cstdint>
#include <string>

#include "pipeline/log_view.h"

namespace nimbrel {

enum class ColourDepth { TrueColour, Palette256, Palette16 };

// Appends the SGR sequence that selects `colour` as the foreground.
void appendColourEscape(std::string& out, Rgb colour, ColourDepth depth);

// The nearest colour of the xterm 256-colour palette (its 6x6x6 cube and grey ramp).
std::uint8_t nearestPalette256(Rgb colour);
// The nearest of the 16 basic colours as its SGR code: 30-37 or 90-97.
int nearestBasicColourCode(Rgb colour);

}  // namespace nimbrel
