// Gradient fills with or without the system's GradientFill, right-to-left layout
// queries, and safe window rectangles.
#pragma once

#include <windows.h>

#include "drawing/color_functions.h"
#include "drawing/entry_points.h"

namespace zandle::drawing {

class CPaintManagerColorGradient;

class CDrawHelpers {
 public:
  CDrawHelpers() noexcept;
  CDrawHelpers(const CDrawHelpers&) = delete;
  CDrawHelpers& operator=(const CDrawHelpers&) = delete;
  // The library stays loaded: other singletons may still call into it at exit.
  virtual ~CDrawHelpers() = default;

  void FillGradient(HDC dc, const RECT* rect, Color from, Color to, bool horizontal) const noexcept;
  void FillGradient(HDC dc, const RECT* rect, const CPaintManagerColorGradient& gradient,
                    bool horizontal) const noexcept;
  static bool IsMirroredDC(HDC dc) noexcept;

  // Null when "msimg32.dll" lacks them or a test forced them absent.
  AlphaBlendFn AlphaBlendEntry() const noexcept;
  GradientFillFn GradientFillEntry() const noexcept;

 private:
  AlphaBlendFn pfnAlphaBlend = nullptr;
  GradientFillFn pfnGradientFill = nullptr;
  HMODULE imageLibrary = nullptr;
};

CDrawHelpers& GetDrawHelpers() noexcept;

// Solid fill without a brush object.
void FillSolidRect(HDC dc, const RECT& rect, Color color) noexcept;
// Several solid fills, later ones over earlier ones: straight into a 32-bit DIB section
// when the context holds one (Wine takes ~4 us per GDI fill), else one fill each.
struct SolidFill {
  RECT rect;
  Color color;
};
void FillSolidRects(HDC dc, const SolidFill* fills, size_t count) noexcept;
// One-pixel frame: top and left edges in `topLeft`, right and bottom edges in
// `bottomRight`, which also owns the top-right and bottom-left corners.
void Draw3dRect(HDC dc, const RECT& rect, Color topLeft, Color bottomRight) noexcept;
// One-pixel bands, painted only inside the clip box, coloured for the whole `rect`.
void FillGradientBands(HDC dc, const RECT& rect, Color from, Color to, bool horizontal) noexcept;
// The bands written straight into a 32-bit DIB section; false when `dc` holds none.
bool FillGradientDirect(HDC dc, const RECT& rect, Color from, Color to, bool horizontal) noexcept;
// The system's GradientFill; false when it is absent or fails.
bool FillGradientSystem(HDC dc, const RECT& rect, Color from, Color to, bool horizontal) noexcept;

DWORD GetLayout(HDC dc) noexcept;
DWORD SetLayout(HDC dc, DWORD layout) noexcept;

RECT GetWindowRectSafe(HWND window) noexcept;
RECT GetClientRectSafe(HWND window) noexcept;

RECT GetMonitorWorkArea(POINT point) noexcept;
RECT GetMonitorWorkArea(const RECT& rect) noexcept;
RECT GetMonitorWorkArea(HWND window) noexcept;

}  // namespace zandle::drawing
