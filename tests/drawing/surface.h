// Test helpers: a 32-bit top-down DIB section in a memory device context, pictures and
// icons made pixel by pixel, and snapshots of the live GDI handle counts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/gdi_handles.h"

namespace zandle::drawing::testing {

class Surface {
 public:
  Surface(int width, int height, COLORREF fill = RGB(255, 255, 255), bool bottomUp = false);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface();

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Physical pixel as RGB, whatever the layout of the context.
  COLORREF Pixel(int x, int y) const;
  BYTE Alpha(int x, int y) const;
  std::uint32_t* Row(int y) const;
  std::uint32_t Hash() const;
  void Fill(COLORREF color);

 private:
  int width_, height_;
  bool bottomUp_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  std::uint32_t* bits_ = nullptr;
};

// A 32-bit top-down DIB section with the given straight (not premultiplied) pixels,
// given as 0xAARRGGBB, row by row from the top.
HBITMAP MakeArgbBitmap(int width, int height, const std::vector<std::uint32_t>& argb);
HBITMAP MakeSolidArgbBitmap(int width, int height, std::uint32_t argb);

// A classic icon: `color` where the mask is opaque, transparent in the right half
// when `halfTransparent`; the colour bitmap is a 32-bit DIB with alpha `alpha`.
HICON MakeIcon(int width, int height, COLORREF color, BYTE alpha, bool halfTransparent);

struct GdiCounts {
  int bitmaps, memoryDCs, icons, brushes, pens, windowDCs, fonts, imageLists, regions, themes;
  static GdiCounts Now();
  bool operator==(const GdiCounts&) const = default;
};

int MaxChannelDifference(COLORREF a, COLORREF b);

}  // namespace zandle::drawing::testing
