#include "popup/popup_screen.h"

#include <windows.h>
#include <shellapi.h>

#include "drawing/draw_helpers.h"
#include "drawing/entry_points.h"
#include "popup/core/dpi_scale.h"

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

int PopupScreen::SystemDpi() noexcept {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ::ReleaseDC(nullptr, screen);
  return UsableDpi(dpi);
}

int PopupScreen::DpiFor(const Rect& rect) {
  if (g_override) return UsableDpi(g_override->DpiFor(rect));
  const drawing::DpiEntries& dpi = drawing::BoundDpiEntries();
  const auto monitorFromRect = drawing::BoundWorkAreaEntries().monitorFromRect;
  const RECT r = ToRECT(rect);
  if (dpi.getDpiForMonitor && monitorFromRect) {
    UINT x = 0, y = 0;
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    if (SUCCEEDED(dpi.getDpiForMonitor(monitorFromRect(&r, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)))
      return UsableDpi(static_cast<int>(y));
  }
  return SystemDpi();
}

int PopupScreen::DpiOfWindow(HWND window) noexcept {
  if (g_override) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return UsableDpi(g_override->DpiFor(FromRECT(r)));
  }
  const drawing::DpiEntries& dpi = drawing::BoundDpiEntries();
  if (dpi.getDpiForWindow && window) {
    if (const UINT value = dpi.getDpiForWindow(window)) return UsableDpi(static_cast<int>(value));
  }
  RECT r{};
  ::GetWindowRect(window, &r);
  return PopupScreen{}.DpiFor(FromRECT(r));
}

namespace test {

ScopedScreenQueries::ScopedScreenQueries(ScreenQueries& queries) noexcept : previous_(g_override) {
  g_override = &queries;
}
ScopedScreenQueries::~ScopedScreenQueries() { g_override = previous_; }

}  // namespace test
}  // namespace zandle::popup
