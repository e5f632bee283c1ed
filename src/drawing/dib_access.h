// Direct access to the 32-bit DIB section selected into a memory device context, for
// pixel loops that would otherwise take one GDI call per band or three temporary
// bitmaps. Only contexts that map logical to device pixels one to one qualify.
#pragma once

#include <windows.h>

#include <cstdint>

namespace zandle::drawing {

struct DirectPixels {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  bool bottomUp = true;
  POINT origin{};  // device position of logical (0, 0)

  // Row `y` counted from the top, in device pixels.
  std::uint32_t* Row(int y) const noexcept {
    const int memoryRow = bottomUp ? height - 1 - y : y;
    return reinterpret_cast<std::uint32_t*>(bits + static_cast<size_t>(memoryRow) * width * 4);
  }
};

// True when `dc` holds a 32-bit uncompressed DIB section with plain left-to-right,
// unscaled mapping, and `logical` lies inside both the bitmap and a one-rectangle clip.
bool GetDirectPixels(HDC dc, const RECT& logical, DirectPixels& out) noexcept;

}  // namespace zandle::drawing
