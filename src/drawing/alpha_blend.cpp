#include "drawing/alpha_blend.h"

#include "drawing/dib_access.h"
#include "drawing/draw_helpers.h"
#include "drawing/gdi_objects.h"
#include "drawing/pixel_math.h"

namespace zandle::drawing {
namespace {

constexpr BYTE kOpaqueConstantAlpha = 255;
constexpr DWORD kWindows2000Major = 5;

int Width(const RECT& r) noexcept { return r.right - r.left; }
int Height(const RECT& r) noexcept { return r.bottom - r.top; }

bool OlderThanWindows2000() noexcept {
  const OSVERSIONINFOW& v = OsVersion();
  return v.dwPlatformId != VER_PLATFORM_WIN32_NT || v.dwMajorVersion < kWindows2000Major;
}

bool IsUsableDib(HBITMAP bitmap, int width, int height) noexcept {
  DIBSECTION dib{};
  if (::GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib)) return false;
  return dib.dsBm.bmWidth == width && dib.dsBm.bmHeight == height && dib.dsBm.bmBitsPixel == 32 &&
         dib.dsBm.bmPlanes == 1 && dib.dsBm.bmBits != nullptr;
}

// Unscaled blend between two DIB sections, straight through their memory: the same
// arithmetic as below without the three intermediate bitmaps.
bool BlendDirect(HDC destDC, const RECT& destRect, HDC srcDC, const RECT& srcRect) noexcept {
  if (Width(srcRect) != Width(destRect) || Height(srcRect) != Height(destRect)) return false;
  DirectPixels source, dest;
  if (!GetDirectPixels(srcDC, srcRect, source) || !GetDirectPixels(destDC, destRect, dest) || source.bits == dest.bits)
    return false;
  const int w = Width(destRect), h = Height(destRect);
  for (int y = 0; y < h; ++y) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(source.Row(srcRect.top + source.origin.y + y) +
                                                           srcRect.left + source.origin.x);
    auto* d = reinterpret_cast<std::uint8_t*>(dest.Row(destRect.top + dest.origin.y + y) + destRect.left +
                                              dest.origin.x);
    BlendPremultipliedRow(s, false, d, false, d, w);
  }
  return true;
}

}  // namespace

bool BlendAlphaBitmapEmulated(HDC destDC, const RECT& destRect, HDC srcDC, const RECT& srcRect) noexcept {
  const int w = Width(destRect), h = Height(destRect);
  if (!destDC || !srcDC || w <= 0 || h <= 0) return false;
  if (BlendDirect(destDC, destRect, srcDC, srcRect)) return true;
  const bool sourceMirrored = CDrawHelpers::IsMirroredDC(srcDC);
  const bool destMirrored = CDrawHelpers::IsMirroredDC(destDC);

  BYTE *sourceBits = nullptr, *backgroundBits = nullptr, *resultBits = nullptr;
  const fw::UniqueBitmap scaled = Create32BppDIBSection(destDC, w, h, &sourceBits);
  const fw::UniqueBitmap background = Create32BppDIBSection(destDC, w, h, &backgroundBits);
  const fw::UniqueBitmap result = Create32BppDIBSection(destDC, w, h, &resultBits);
  const fw::UniqueMemoryDC sourceDC = CreateMemoryDC(srcDC);
  const fw::UniqueMemoryDC backgroundDC = CreateMemoryDC(srcDC);
  if (!scaled || !background || !result || !sourceDC || !backgroundDC) return false;
  for (HDC dc : {sourceDC.get(), backgroundDC.get()}) {
    drawing::SetLayout(dc, 0);
    ::SetStretchBltMode(dc, COLORONCOLOR);
  }
  {
    fw::ScopedSelectObject selectScaled(sourceDC.get(), scaled.get());
    fw::ScopedSelectObject selectBackground(backgroundDC.get(), background.get());
    if (!selectScaled.selected() || !selectBackground.selected()) return false;
    if (!::StretchBlt(sourceDC.get(), 0, 0, w, h, srcDC, srcRect.left, srcRect.top, Width(srcRect), Height(srcRect),
                      SRCCOPY) ||
        !::BitBlt(backgroundDC.get(), 0, 0, w, h, destDC, destRect.left, destRect.top, SRCCOPY))
      return false;
  }
  ::GdiFlush();
  if (!IsUsableDib(scaled.get(), w, h) || !IsUsableDib(background.get(), w, h) || !IsUsableDib(result.get(), w, h))
    return false;

  const size_t stride = static_cast<size_t>(w) * 4;
  for (int y = 0; y < h; ++y)
    BlendPremultipliedRow(sourceBits + y * stride, sourceMirrored, backgroundBits + y * stride, destMirrored,
                          resultBits + y * stride, w);

  fw::ScopedSelectObject selectResult(sourceDC.get(), result.get());
  if (!selectResult.selected()) return false;
  return ::BitBlt(destDC, destRect.left, destRect.top, w, h, sourceDC.get(), 0, 0,
                  SRCCOPY | (destMirrored ? NOMIRRORBITMAP : 0)) != FALSE;
}

void BlendAlphaBitmap(HDC destDC, const RECT& destRect, HDC srcDC, const RECT& srcRect) noexcept {
  const AlphaBlendFn alphaBlend = GetDrawHelpers().AlphaBlendEntry();
  // Windows 95/98 AlphaBlend mirrors wrongly on right-to-left contexts; before Windows
  // 2000 it also mishandles source offsets and destinations above the top edge.
  const bool emulate = (CDrawHelpers::IsMirroredDC(destDC) && IsWindows9x()) || !alphaBlend ||
                       (OlderThanWindows2000() && (srcRect.left != 0 || srcRect.top != 0 || destRect.top < 0));
  if (emulate) {
    BlendAlphaBitmapEmulated(destDC, destRect, srcDC, srcRect);
    return;
  }
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, kOpaqueConstantAlpha, AC_SRC_ALPHA};
  alphaBlend(destDC, destRect.left, destRect.top, Width(destRect), Height(destRect), srcDC, srcRect.left, srcRect.top,
             Width(srcRect), Height(srcRect), blend);
}

}  // namespace zandle::drawing
