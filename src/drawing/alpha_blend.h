// Blending of premultiplied 32-bit pictures onto a device context: through the
// platform's AlphaBlend, or emulated where it is missing or unreliable.
#pragma once

#include <windows.h>

namespace zandle::drawing {

void BlendAlphaBitmap(HDC destDC, const RECT& destRect, HDC srcDC, const RECT& srcRect) noexcept;
// The emulation alone, as used when AlphaBlend cannot be.
bool BlendAlphaBitmapEmulated(HDC destDC, const RECT& destRect, HDC srcDC, const RECT& srcRect) noexcept;

}  // namespace zandle::drawing
