// Per-pixel arithmetic of the icon store on 32-bit pixels stored blue, green, red,
// alpha. Integer divisions truncate; no GDI here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drawing/color_functions.h"

namespace zandle::drawing {

// Premultiplies in place: colour = colour × alpha / 255. True when any alpha byte is
// non-zero.
bool PremultiplyPixels(std::uint8_t* bgra, std::size_t pixelCount) noexcept;

// result = background × (255 − source alpha) / 255 + source, per colour channel;
// result alpha 0. A reversed row is read from its right end.
void BlendPremultipliedRow(const std::uint8_t* source, bool sourceReversed, const std::uint8_t* background,
                           bool backgroundReversed, std::uint8_t* result, int width) noexcept;

// The disabled look of one opaque colour: grey when either of light and dark is
// kNoColor, else the blend between them by luminance.
Color DisabledColor(int red, int green, int blue, Color light, Color dark) noexcept;

// Disables premultiplied pixels in place; pixels with alpha 0 stay as they are.
void DisablePremultipliedPixels(std::uint8_t* bgra, std::size_t pixelCount, Color light, Color dark) noexcept;

}  // namespace zandle::drawing
