// Creation of the GDI objects the drawing layer owns. Every creation passes through
// here, so that tests can make any one of them fail and check what is left behind.
#pragma once

#include <windows.h>

#include "framework/gdi_handles.h"

namespace zandle::drawing {

// Compatible with `reference`, or with the screen when it is null.
fw::UniqueMemoryDC CreateMemoryDC(HDC reference) noexcept;
// 32 bits per pixel, bottom-up, DIB_RGB_COLORS; `bits` receives the pixel memory.
fw::UniqueBitmap Create32BppDIBSection(HDC dc, int width, int height, BYTE** bits) noexcept;
fw::UniqueBitmap CreateMonochromeBitmap(int width, int height) noexcept;
fw::UniqueBitmap CreateCompatibleBitmapChecked(HDC dc, int width, int height) noexcept;
fw::UniqueIcon CreateIconChecked(ICONINFO& info) noexcept;
fw::UniqueFont CreateFontChecked(const LOGFONTW& description) noexcept;
fw::UniqueIcon CopyIconChecked(HICON icon) noexcept;

namespace test {

// The creation numbered `failAt` (0 = the next one) fails; the rest succeed.
class ScopedGdiFailure {
 public:
  explicit ScopedGdiFailure(int failAt) noexcept;
  ScopedGdiFailure(const ScopedGdiFailure&) = delete;
  ScopedGdiFailure& operator=(const ScopedGdiFailure&) = delete;
  ~ScopedGdiFailure();
  // Creations attempted while this scope was active.
  int Attempts() const noexcept;
};

}  // namespace test
}  // namespace zandle::drawing
