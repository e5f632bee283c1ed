#include "drawing/draw_helpers.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "drawing/color_manager.h"
#include "drawing/dib_access.h"
#include "drawing/paint_manager_color.h"

namespace zandle::drawing {
namespace {

constexpr int kVertexChannelShift = 8;  // TRIVERTEX channels are 16 bits wide

COLOR16 VertexChannel(int channel) noexcept { return static_cast<COLOR16>(channel << kVertexChannelShift); }

bool IsEmpty(const RECT& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

std::uint32_t DibPixel(Color c) noexcept {
  return (static_cast<std::uint32_t>(RedOf(c)) << 16) | (GreenOf(c) << 8) | BlueOf(c);
}

// Sixteen-byte stores: one store per pixel is several times slower than GradientFill.
void FillPixels(std::uint32_t* p, int count, std::uint32_t value) noexcept {
  const __m128i four = _mm_set1_epi32(static_cast<int>(value));
  int i = 0;
  for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), four);
  for (; i < count; ++i) p[i] = value;
}

// The bands written straight into a DIB section: a GDI call per band costs a hundred
// times GradientFill. The pixels are what a one-pixel solid fill leaves in a 32-bit
// bitmap: the colour with alpha 0.
bool FillBandsDirect(HDC dc, const RECT& rect, const RECT& visible, Color from, Color to, bool horizontal, int width,
                     int height) noexcept {
  DirectPixels px;
  if (!GetDirectPixels(dc, visible, px)) return false;
  const int left = visible.left + px.origin.x, top = visible.top + px.origin.y;
  const int columns = visible.right - visible.left, rows = visible.bottom - visible.top;
  if (horizontal) {
    std::uint32_t* first = px.Row(top) + left;
    for (int i = 0; i < columns; ++i)
      first[i] = DibPixel(MixColors(from, to, 1.0 - static_cast<double>(visible.left + i - rect.left) / width));
    for (int y = 1; y < rows; ++y) std::memcpy(px.Row(top + y) + left, first, static_cast<size_t>(columns) * 4);
  } else {
    for (int y = 0; y < rows; ++y)
      FillPixels(px.Row(top + y) + left, columns,
                 DibPixel(MixColors(from, to, 1.0 - static_cast<double>(visible.top + y - rect.top) / height)));
  }
  return true;
}

}  // namespace

CDrawHelpers::CDrawHelpers() noexcept {
  const ImageLibraryEntries entries = LoadImageLibraryEntries();
  imageLibrary = entries.module;
  pfnGradientFill = entries.gradientFill;
  pfnAlphaBlend = entries.alphaBlend;
}

AlphaBlendFn CDrawHelpers::AlphaBlendEntry() const noexcept {
  return IsEntryForcedAbsent(OptionalEntry::AlphaBlend) ? nullptr : pfnAlphaBlend;
}

GradientFillFn CDrawHelpers::GradientFillEntry() const noexcept {
  return IsEntryForcedAbsent(OptionalEntry::GradientFill) ? nullptr : pfnGradientFill;
}

CDrawHelpers& GetDrawHelpers() noexcept {
  static CDrawHelpers helpers;
  return helpers;
}

bool CDrawHelpers::IsMirroredDC(HDC dc) noexcept {
  // GetLayout answers GDI_ERROR for a bad device context, which is not a layout.
  const DWORD layout = drawing::GetLayout(dc);
  return layout != 0 && layout != GDI_ERROR;
}

void FillSolidRect(HDC dc, const RECT& rect, Color color) noexcept {
  const COLORREF previous = ::SetBkColor(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  ::SetBkColor(dc, previous);
}

void FillSolidRects(HDC dc, const SolidFill* fills, size_t count) noexcept {
  RECT bounds{};
  for (size_t i = 0; i < count; ++i)
    if (!IsEmpty(fills[i].rect)) ::UnionRect(&bounds, &bounds, &fills[i].rect);
  if (IsEmpty(bounds)) return;
  DirectPixels px;
  if (!GetDirectPixels(dc, bounds, px)) {
    for (size_t i = 0; i < count; ++i)
      if (!IsEmpty(fills[i].rect)) FillSolidRect(dc, fills[i].rect, fills[i].color);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    const RECT& r = fills[i].rect;
    if (IsEmpty(r)) continue;
    const std::uint32_t value = DibPixel(fills[i].color);
    for (LONG y = r.top; y < r.bottom; ++y)
      FillPixels(px.Row(y + px.origin.y) + r.left + px.origin.x, r.right - r.left, value);
  }
}

void Draw3dRect(HDC dc, const RECT& r, Color topLeft, Color bottomRight) noexcept {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const SolidFill edges[] = {
      {{r.left, r.top, r.right - 1, r.top + 1}, topLeft},
      {{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft},
      {{r.right - 1, r.top, r.right, r.bottom}, bottomRight},
      {{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight},
  };
  FillSolidRects(dc, edges, std::size(edges));
}

namespace {

// The part of `rect` inside the clip box; false when nothing of it is visible.
bool VisiblePart(HDC dc, const RECT& rect, RECT& visible, int& clipKind) noexcept {
  RECT clip{};
  visible = rect;
  clipKind = ::GetClipBox(dc, &clip);
  return clipKind == ERROR || IsEmpty(clip) || ::IntersectRect(&visible, &clip, &rect);
}

}  // namespace

bool FillGradientDirect(HDC dc, const RECT& rect, Color from, Color to, bool horizontal) noexcept {
  RECT k{};
  int clipKind = ERROR;
  if (!VisiblePart(dc, rect, k, clipKind)) return true;
  return clipKind == SIMPLEREGION && FillBandsDirect(dc, rect, k, from, to, horizontal,
                                                     std::max(1, static_cast<int>(rect.right - rect.left)),
                                                     std::max(1, static_cast<int>(rect.bottom - rect.top)));
}

void FillGradientBands(HDC dc, const RECT& rect, Color from, Color to, bool horizontal) noexcept {
  const int width = std::max(1, static_cast<int>(rect.right - rect.left));
  const int height = std::max(1, static_cast<int>(rect.bottom - rect.top));
  RECT k{};
  int clipKind = ERROR;
  if (!VisiblePart(dc, rect, k, clipKind)) return;
  if (clipKind == SIMPLEREGION && FillBandsDirect(dc, rect, k, from, to, horizontal, width, height)) return;
  const COLORREF previous = ::GetBkColor(dc);
  if (horizontal) {
    for (LONG x = k.left; x < k.right; ++x) {
      const RECT band{x, k.top, x + 1, k.bottom};
      ::SetBkColor(dc, MixColors(from, to, 1.0 - static_cast<double>(x - rect.left) / width));
      ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
    }
  } else {
    for (LONG y = k.top; y < k.bottom; ++y) {
      const RECT band{k.left, y, k.right, y + 1};
      ::SetBkColor(dc, MixColors(from, to, 1.0 - static_cast<double>(y - rect.top) / height));
      ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
    }
  }
  ::SetBkColor(dc, previous);
}

bool FillGradientSystem(HDC dc, const RECT& rect, Color from, Color to, bool horizontal) noexcept {
  const GradientFillFn gradientFill = GetDrawHelpers().GradientFillEntry();
  if (!gradientFill) return false;
  TRIVERTEX vertices[2] = {
      {rect.left, rect.top, VertexChannel(RedOf(from)), VertexChannel(GreenOf(from)), VertexChannel(BlueOf(from)), 0},
      {rect.right, rect.bottom, VertexChannel(RedOf(to)), VertexChannel(GreenOf(to)), VertexChannel(BlueOf(to)), 0},
  };
  GRADIENT_RECT mesh{0, 1};
  return gradientFill(dc, vertices, 2, &mesh, 1, horizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V) != FALSE;
}

void CDrawHelpers::FillGradient(HDC dc, const RECT* rect, Color from, Color to, bool horizontal) const noexcept {
  if (!dc || !rect || IsEmpty(*rect)) return;
  if (IsLowColorDisplay(dc) || from == to) {
    FillSolidRect(dc, *rect, from);
    return;
  }
  // Windows 95/98 GradientFill draws mirrored contexts the wrong way round.
  if (!GradientFillEntry() || (IsMirroredDC(dc) && IsWindows9x())) {
    FillGradientBands(dc, *rect, from, to, horizontal);
    return;
  }
  // A 32-bit DIB section is written directly: Wine's GradientFill costs a popup's
  // animation frame many times over.
  if (FillGradientDirect(dc, *rect, from, to, horizontal)) return;
  FillGradientSystem(dc, *rect, from, to, horizontal);
}

void CDrawHelpers::FillGradient(HDC dc, const RECT* rect, const CPaintManagerColorGradient& gradient,
                                bool horizontal) const noexcept {
  if (!rect) return;
  const Color start = gradient.startColor.Effective();
  const Color end = gradient.endColor.Effective();
  if (gradient.middleWeight == CPaintManagerColorGradient::kEvenWeight) {
    FillGradient(dc, rect, start, end, horizontal);
    return;
  }
  const Color middle = MixColors(start, end, gradient.middleWeight);
  RECT first = *rect, second = *rect;
  if (horizontal) {
    first.right = rect->right - (rect->right - rect->left) / 2;
    second.left = first.right;
  } else {
    first.bottom = rect->bottom - (rect->bottom - rect->top) / 2;
    second.top = first.bottom;
  }
  FillGradient(dc, &first, start, middle, horizontal);
  FillGradient(dc, &second, middle, end, horizontal);
}

DWORD GetLayout(HDC dc) noexcept {
  const GetLayoutFn getLayout = BoundGetLayout();
  return getLayout ? getLayout(dc) : 0;
}

DWORD SetLayout(HDC dc, DWORD layout) noexcept {
  const SetLayoutFn setLayout = BoundSetLayout();
  return setLayout ? setLayout(dc, layout) : 0;
}

RECT GetWindowRectSafe(HWND window) noexcept {
  RECT r{};
  if (window && ::IsWindow(window) && !::GetWindowRect(window, &r)) r = RECT{};
  return r;
}

RECT GetClientRectSafe(HWND window) noexcept {
  RECT r{};
  if (window && ::IsWindow(window) && !::GetClientRect(window, &r)) r = RECT{};
  return r;
}

namespace {

RECT WorkAreaOf(HMONITOR monitor) noexcept {
  const WorkAreaEntries& entries = BoundWorkAreaEntries();
  if (monitor && entries.getMonitorInfo) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (entries.getMonitorInfo(monitor, &info)) return info.rcWork;
  }
  RECT primary{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &primary, 0);
  return primary;
}

}  // namespace

RECT GetMonitorWorkArea(POINT point) noexcept {
  const WorkAreaEntries& e = BoundWorkAreaEntries();
  return WorkAreaOf(e.monitorFromPoint ? e.monitorFromPoint(point, MONITOR_DEFAULTTONULL) : nullptr);
}

RECT GetMonitorWorkArea(const RECT& rect) noexcept {
  const WorkAreaEntries& e = BoundWorkAreaEntries();
  return WorkAreaOf(e.monitorFromRect ? e.monitorFromRect(&rect, MONITOR_DEFAULTTONULL) : nullptr);
}

RECT GetMonitorWorkArea(HWND window) noexcept {
  const WorkAreaEntries& e = BoundWorkAreaEntries();
  return WorkAreaOf(e.monitorFromWindow ? e.monitorFromWindow(window, MONITOR_DEFAULTTONULL) : nullptr);
}

}  // namespace zandle::drawing
