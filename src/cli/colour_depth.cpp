#include "cli/colour_depth.h"

#include <cstdlib>
#include <string_view>

namespace nimbrel::cli {

ColourDepth terminalColourDepth() {
    const char* colorterm = std::getenv("COLORTERM");
    const std::string_view announced = colorterm ? colorterm : "";
    if (announced == "truecolor" || announced == "24bit") return ColourDepth::TrueColour;
    const char* term = std::getenv("TERM");
    const std::string_view name = term ? term : "";
    if (name.find("direct") != std::string_view::npos) return ColourDepth::TrueColour;
    if (name.find("256col") != std::string_view::npos) return ColourDepth::Palette256;
    return ColourDepth::Palette16;
}

}  // namespace nimbrel::cli
