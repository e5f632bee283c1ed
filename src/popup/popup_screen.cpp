#include "popup/popup_screen.h"

#include <windows.h>
#include <shellapi.h>

#include "drawing/draw_helpers.h"

namespace zandle::popup {
namespace {

ScreenQueries* g_override = nullptr;

Rect FromRECT(const RECT& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRECT(const Rect& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

bool PopupScreen::TaskbarRect(Rect& taskbar) {
  if (g_override) return g_override->TaskbarRect(taskbar);
  APPBARDATA data{};
  data.cbSize = sizeof(data);  // 36 bytes on 32-bit Windows
  if (!::SHAppBarMessage(ABM_GETTASKBARPOS, &data)) return false;
  taskbar = FromRECT(data.rc);
  return true;
}

Rect PopupScreen::WorkAreaFromRect(const Rect& rect) {
  if (g_override) return g_override->WorkAreaFromRect(rect);
  return FromRECT(drawing::GetMonitorWorkArea(ToRECT(rect)));
}

Rect PopupScreen::PrimaryWorkArea() {
  if (g_override) return g_override->PrimaryWorkArea();
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return FromRECT(area);
}

Rect PopupScreen::WorkAreaFromPoint(Point point) {
  if (g_override) return g_override->WorkAreaFromRect(Rect{point.x, point.y, point.x, point.y});
  return FromRECT(drawing::GetMonitorWorkArea(POINT{point.x, point.y}));
}

namespace test {

ScopedScreenQueries::ScopedScreenQueries(ScreenQueries& queries) noexcept : previous_(g_override) {
  g_override = &queries;
}
ScopedScreenQueries::~ScopedScreenQueries() { g_override = previous_; }

}  // namespace test
}  // namespace zandle::popup
