// Where the popup stands: its anchor (bottom-right corner) beside the taskbar, and
// the rectangles the animations start or end at.
#pragma once

#include <optional>

#include "popup/core/geometry.h"

namespace zandle::popup {

// The system queries behind the anchor; the window layer supplies the real ones.
struct ScreenQueries {
  virtual ~ScreenQueries() = default;
  // The taskbar rectangle from the shell; false when the shell does not answer.
  virtual bool TaskbarRect(Rect& taskbar) = 0;
  // Work area of the monitor holding `rect`, or the primary work area when none does.
  virtual Rect WorkAreaFromRect(const Rect& rect) = 0;
  virtual Rect PrimaryWorkArea() = 0;
  // The DPI of the monitor holding `rect`, which the popup lays itself out at.
  virtual int DpiFor(const Rect&) { return 96; }
};

// The corner beside a taskbar whose monitor has work area `workArea`; nothing when the
// taskbar lies on no side of the work area's centre.
std::optional<Point> TaskbarAnchor(const Rect& taskbar, const Rect& workArea, Size popupSize) noexcept;

// An explicit position wins; else the corner beside the taskbar; else the bottom-right
// corner of the primary work area. Asks `screen` only for what it needs.
Point AnchorPoint(std::optional<Point> explicitPos, ScreenQueries& screen, Size popupSize);

// The popup covers (anchor − size) to the anchor.
Rect FullRectAt(Point anchor, Size popupSize) noexcept;
// Full width, no height, on the bottom edge.
Rect SlideRectAt(Point anchor, Size popupSize) noexcept;
// No size, at the anchor corner.
Rect UnfoldRectAt(Point anchor) noexcept;

}  // namespace zandle::popup
