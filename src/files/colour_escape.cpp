#include "files/colour_escape.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace nimbrel {
namespace {

int distance(Rgb a, int r, int g, int b) {
    const int dr = a.r - r, dg = a.g - g, db = a.b - b;
    return dr * dr + dg * dg + db * db;
}

constexpr std::array<int, 6> kCubeLevels{0, 95, 135, 175, 215, 255};

std::size_t nearestCubeStep(int value) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < kCubeLevels.size(); ++i) {
        if (std::abs(kCubeLevels[i] - value) < std::abs(kCubeLevels[best] - value)) best = i;
    }
    return best;
}

// xterm's default values of the 16 basic colours, in SGR order (30-37, then 90-97).
constexpr std::array<Rgb, 16> kBasic{{
    {0, 0, 0},
    {205, 0, 0},
    {0, 205, 0},
    {205, 205, 0},
    {0, 0, 238},
    {205, 0, 205},
    {0, 205, 205},
    {229, 229, 229},
    {127, 127, 127},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {92, 92, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

}  // namespace

std::uint8_t nearestPalette256(Rgb colour) {
    const std::size_t r = nearestCubeStep(colour.r), g = nearestCubeStep(colour.g),
                      b = nearestCubeStep(colour.b);
    const std::size_t cube = 16 + 36 * r + 6 * g + b;
    const int cubeDistance = distance(colour, kCubeLevels[r], kCubeLevels[g], kCubeLevels[b]);
    // Grey ramp 232..255: 8, 18, ..., 238.
    const int average = (colour.r + colour.g + colour.b) / 3;
    const int step = average < 8 ? 0 : average > 238 ? 23 : (average - 8 + 5) / 10;
    const int grey = 8 + 10 * step;
    if (distance(colour, grey, grey, grey) < cubeDistance)
        return static_cast<std::uint8_t>(232 + step);
    return static_cast<std::uint8_t>(cube);
}

int nearestBasicColourCode(Rgb colour) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < kBasic.size(); ++i) {
        if (distance(colour, kBasic[i].r, kBasic[i].g, kBasic[i].b) <
            distance(colour, kBasic[best].r, kBasic[best].g, kBasic[best].b)) {
            best = i;
        }
    }
    const int code = static_cast<int>(best);
    return code < 8 ? 30 + code : 90 + code - 8;
}

void appendColourEscape(std::string& out, Rgb colour, ColourDepth depth) {
    char sgr[32];
    int n = 0;
    switch (depth) {
    case ColourDepth::TrueColour:
        n = std::snprintf(sgr, sizeof sgr, "\x1b[38;2;%u;%u;%um", colour.r, colour.g, colour.b);
        break;
    case ColourDepth::Palette256:
        n = std::snprintf(sgr, sizeof sgr, "\x1b[38;5;%um", nearestPalette256(colour));
        break;
    case ColourDepth::Palette16:
        n = std::snprintf(sgr, sizeof sgr, "\x1b[%dm", nearestBasicColourCode(colour));
        break;
    }
    out.append(sgr, static_cast<std::size_t>(n));
}

}  // namespace nimbrel
