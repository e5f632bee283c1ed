// The popup's pixels at a monitor's DPI: its layout is drawn for 96 DPI and every
// rectangle edge, font height and step is scaled from there, rounded once per edge
// so that neighbouring items still meet.
#pragma once

#include "popup/core/geometry.h"

namespace zandle::popup {

inline constexpr int kBaseDpi = 96;

// A DPI the popup can lay itself out at: anything unusable (0, negative, absurd) is 96.
int UsableDpi(int dpi) noexcept;

// round(value * dpi / 96), halves rounded up (towards +infinity), saturated.
int ScaleEdge(int value, int dpi) noexcept;
// Each edge rounded, not each size: a rectangle's size may differ by one from ScaleLength.
Rect ScaleRect(const Rect& rect, int dpi) noexcept;
Point ScalePoint(Point point, int dpi) noexcept;
// A size that starts at 0, such as the popup's.
Size ScaleSize(Size size, int dpi) noexcept;
// A font height keeps its sign (negative asks for the character height); its magnitude
// is rounded half up, so -11 and 11 scale alike.
int ScaleFontHeight(int height, int dpi) noexcept;
// A font height in pixels at `fromDpi` for `toDpi`, sign kept, magnitude rounded half up.
int RescaleFontHeight(int height, int fromDpi, int toDpi) noexcept;
// Back from scaled pixels to layout pixels, for a point the user clicked; rounded half up.
int UnscaleEdge(int value, int dpi) noexcept;

// The pictures come at 100, 125, 150 and 200 %: the index (0..3) of the smallest scale at
// or above the DPI's, or the largest one past 200 %.
int PictureScaleIndex(int dpi) noexcept;
inline constexpr int kPictureScalePercents[] = {100, 125, 150, 200};
// The resource id of picture `id` as drawn at scale `index`: 1000 above it per step.
unsigned PictureResourceId(unsigned id, int index) noexcept;
// A picture's side at scale `index`, from its 1x side; rounded half up, as its drawing is.
int PictureSide(int side, int index) noexcept;

}  // namespace zandle::popup
