#include "popup/core/stacking.h"

#include <algorithm>

namespace zandle::popup {
namespace {

Rect Covered(Point anchor, Size size) noexcept {
  return {SaturatingSub(anchor.x, size.cx), SaturatingSub(anchor.y, size.cy), anchor.x, anchor.y};
}

bool Overlap(const Rect& a, const Rect& b) noexcept {
  return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

}  // namespace

Point StackAbove(Point anchor, Size size, const std::vector<StackedPopup>& onScreen) noexcept {
  Rect candidate = Covered(anchor, size);
  for (bool moved = true; moved;) {
    moved = false;
    for (const StackedPopup& p : onScreen) {
      const Rect other = Covered(p.anchor, p.size);
      // An overlap means other.top < anchor.y: y strictly decreases.
      if (!Overlap(other, candidate)) continue;
      anchor.y = other.top;
      candidate = Covered(anchor, size);
      moved = true;
    }
  }
  return anchor;
}

bool FitsInWorkArea(Point anchor, Size size, const Rect& workArea) noexcept {
  const Rect covered = Covered(anchor, size);
  return covered.left >= workArea.left && covered.top >= workArea.top && covered.right <= workArea.right &&
         covered.bottom <= workArea.bottom;
}

}  // namespace zandle::popup
