#include "popup/core/drag.h"

namespace zandle::popup {
namespace {

Rect Offset(const Rect& r, int dx, int dy) noexcept {
  return {SaturatingAdd(r.left, dx), SaturatingAdd(r.top, dy), SaturatingAdd(r.right, dx),
          SaturatingAdd(r.bottom, dy)};
}

}  // namespace

Rect DragRect(const Rect& startRect, Point startCursor, Point cursor, const Rect& workArea) noexcept {
  Rect r = Offset(startRect, SaturatingSub(cursor.x, startCursor.x), SaturatingSub(cursor.y, startCursor.y));
  if (r.left < workArea.left) r = Offset(r, SaturatingSub(workArea.left, r.left), 0);
  if (r.top < workArea.top) r = Offset(r, 0, SaturatingSub(workArea.top, r.top));
  if (r.right > workArea.right) r = Offset(r, SaturatingSub(workArea.right, r.right), 0);
  if (r.bottom > workArea.bottom) r = Offset(r, 0, SaturatingSub(workArea.bottom, r.bottom));
  return r;
}

}  // namespace zandle::popup
