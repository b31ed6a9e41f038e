// Colour tags: "[R]", "[G]", "[B]", "[W]", "[Y]" colour the line that carries them; the
// first found in that order wins. "[D]" (grey firmware lines) is not a console tag.
#pragma once

#include <optional>
#include <string_view>

#include "pipeline/log_view.h"

namespace nimbrel {

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kCyan{100, 255, 255};  // the "[B]" tag's colour
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kLightGrey{160, 160, 160};  // "[D]" record lines

// Colour of the first tag found in the order [R] [G] [B] [W] [Y], if any.
std::optional<Rgb> colourOfTags(std::u16string_view text);

}  // namespace nimbrel
