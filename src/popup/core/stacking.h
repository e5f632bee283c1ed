// Where a new popup goes among those still on screen: straight above every one it
// would overlap, never sideways.
#pragma once

#include <vector>

#include "popup/core/geometry.h"

namespace zandle::popup {

struct StackedPopup {
  Point anchor;  // bottom-right corner
  Size size;
};

// The anchor for a new popup of `size` that would stand at `anchor`: moved up to the
// top of each popup it overlaps (a non-empty intersection), pass after pass, until a
// pass moves nothing. x never changes and y only decreases, so it ends.
Point StackAbove(Point anchor, Size size, const std::vector<StackedPopup>& onScreen) noexcept;

// Whether a popup of `size` anchored at `anchor` lies wholly inside `workArea`: a stack
// that has grown past the top edge would put it off the screen.
bool FitsInWorkArea(Point anchor, Size size, const Rect& workArea) noexcept;

}  // namespace zandle::popup
