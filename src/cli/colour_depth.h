// How many colours the terminal takes: 24-bit when COLORTERM announces it, 256 when TERM
// names a 256-colour terminal, else the 16 basic colours.
#pragma once

#include "files/colour_escape.h"

namespace nimbrel::cli {

ColourDepth terminalColourDepth();

}  // namespace nimbrel::cli
