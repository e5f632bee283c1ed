#include "popup/core/placement.h"

#include <cstdint>

namespace zandle::popup {
namespace {

// Halves of a 64-bit sum truncate toward zero, as int division of the sum would.
int Middle(int a, int b) noexcept {
  return static_cast<int>((static_cast<std::int64_t>(a) + b) / 2);
}

Point BottomRight(const Rect& r) noexcept { return {r.right, r.bottom}; }

}  // namespace

std::optional<Point> TaskbarAnchor(const Rect& taskbar, const Rect& workArea, Size popupSize) noexcept {
  const int midY = Middle(workArea.top, workArea.bottom);
  const int midX = Middle(workArea.left, workArea.right);
  if (midY < taskbar.top) return BottomRight(workArea);
  if (midX > taskbar.right) return Point{SaturatingAdd(workArea.left, popupSize.cx), workArea.bottom};
  if (midY > taskbar.bottom) return Point{workArea.right, SaturatingAdd(workArea.top, popupSize.cy)};
  if (midX < taskbar.left) return BottomRight(workArea);
  return std::nullopt;
}

Point AnchorPoint(std::optional<Point> explicitPos, ScreenQueries& screen, Size popupSize) {
  if (explicitPos) return *explicitPos;
  Rect taskbar;
  if (screen.TaskbarRect(taskbar)) {
    if (const auto anchor = TaskbarAnchor(taskbar, screen.WorkAreaFromRect(taskbar), popupSize)) return *anchor;
  }
  return BottomRight(screen.PrimaryWorkArea());
}

Rect FullRectAt(Point anchor, Size popupSize) noexcept {
  return {SaturatingSub(anchor.x, popupSize.cx), SaturatingSub(anchor.y, popupSize.cy), anchor.x, anchor.y};
}

Rect SlideRectAt(Point anchor, Size popupSize) noexcept {
  return {SaturatingSub(anchor.x, popupSize.cx), anchor.y, anchor.x, anchor.y};
}

Rect UnfoldRectAt(Point anchor) noexcept { return {anchor.x, anchor.y, anchor.x, anchor.y}; }

}  // namespace zandle::popup
