// Where a dragged popup goes for a cursor move.
#pragma once

#include "popup/core/geometry.h"

namespace zandle::popup {

// The window rectangle at the drag's start offset by the cursor's travel, then pushed
// into `workArea`: right, down, then left, then up. A rectangle larger than the work
// area therefore ends flush with its right and bottom edges.
Rect DragRect(const Rect& startRect, Point startCursor, Point cursor, const Rect& workArea) noexcept;

}  // namespace zandle::popup
