// The shell and monitor answers behind a popup's anchor: the system's, or a test's.
#pragma once

#include <windows.h>

#include "popup/core/placement.h"

namespace zandle::popup {

// Forwards to the system, or to the queries a test installed.
class PopupScreen final : public ScreenQueries {
 public:
  bool TaskbarRect(Rect& taskbar) override;
  Rect WorkAreaFromRect(const Rect& rect) override;
  Rect PrimaryWorkArea() override;
  // The monitor's own DPI where the system tells it, else the screen's LOGPIXELSY.
  int DpiFor(const Rect& rect) override;
  // The DPI `window` is drawn at, by the same rules.
  static int DpiOfWindow(HWND window) noexcept;
  // The screen's LOGPIXELSY: what the system's fonts are made for.
  static int SystemDpi() noexcept;
  // The work area of the monitor holding a screen point, where a drag is clamped.
  Rect WorkAreaFromPoint(Point point);
};

namespace test {

// Every popup asks `queries` instead of the system while this is in scope; the drag
// clamp asks WorkAreaFromRect with an empty rectangle at the cursor.
class ScopedScreenQueries {
 public:
  explicit ScopedScreenQueries(ScreenQueries& queries) noexcept;
  ScopedScreenQueries(const ScopedScreenQueries&) = delete;
  ScopedScreenQueries& operator=(const ScopedScreenQueries&) = delete;
  ~ScopedScreenQueries();

 private:
  ScreenQueries* previous_;
};

}  // namespace test
}  // namespace zandle::popup
