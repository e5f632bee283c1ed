#include "drawing/dib_access.h"

#include "drawing/draw_helpers.h"

namespace zandle::drawing {
namespace {

// GetObject reports a positive height for top-down DIB sections too (Windows and Wine
// alike), so the row order is found by setting one pixel through GDI and seeing which
// of the two candidate words changed; the word is then put back.
bool FindRowOrder(HDC dc, DirectPixels& px, POINT logical, POINT device) noexcept {
  const int topRow = device.y, bottomRow = px.height - 1 - device.y;
  if (topRow == bottomRow) {
    if (px.height == 1) return true;  // one row: either order is the same
    return false;
  }
  auto* asTopDown = reinterpret_cast<std::uint32_t*>(px.bits + (static_cast<size_t>(topRow) * px.width + device.x) * 4);
  auto* asBottomUp =
      reinterpret_cast<std::uint32_t*>(px.bits + (static_cast<size_t>(bottomRow) * px.width + device.x) * 4);
  const std::uint32_t savedTop = *asTopDown, savedBottom = *asBottomUp;
  std::uint32_t marker = 0x00123456;
  while (marker == (savedTop & 0x00FFFFFF) || marker == (savedBottom & 0x00FFFFFF)) marker += 0x00010203;
  if (!::SetPixelV(dc, logical.x, logical.y, RGB(marker >> 16, (marker >> 8) & 0xFF, marker & 0xFF))) return false;
  ::GdiFlush();
  const bool topDown = (*asTopDown & 0x00FFFFFF) == marker;
  const bool bottomUp = (*asBottomUp & 0x00FFFFFF) == marker;
  if (topDown) *asTopDown = savedTop;
  if (bottomUp) *asBottomUp = savedBottom;
  if (topDown == bottomUp) return false;
  px.bottomUp = bottomUp;
  return true;
}

}  // namespace

bool GetDirectPixels(HDC dc, const RECT& logical, DirectPixels& out) noexcept {
  if (!dc || logical.right <= logical.left || logical.bottom <= logical.top) return false;
  // A window's context answers with a stock bitmap below, which is no DIB section.
  if (::GetMapMode(dc) != MM_TEXT || ::GetGraphicsMode(dc) != GM_COMPATIBLE || drawing::GetLayout(dc) != 0)
    return false;
  DIBSECTION dib{};
  const HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
  if (!bitmap || ::GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib)) return false;
  if (dib.dsBm.bmBitsPixel != 32 || dib.dsBmih.biCompression != BI_RGB || !dib.dsBm.bmBits) return false;

  POINT window{}, viewport{};
  ::GetWindowOrgEx(dc, &window);
  ::GetViewportOrgEx(dc, &viewport);
  const POINT origin{viewport.x - window.x, viewport.y - window.y};
  const RECT device{logical.left + origin.x, logical.top + origin.y, logical.right + origin.x,
                    logical.bottom + origin.y};
  if (device.left < 0 || device.top < 0 || device.right > dib.dsBm.bmWidth || device.bottom > dib.dsBm.bmHeight)
    return false;
  // Only a clip that is one rectangle holding all of `logical` can be bypassed.
  RECT clip{};
  if (::GetClipBox(dc, &clip) != SIMPLEREGION || clip.left > logical.left || clip.top > logical.top ||
      clip.right < logical.right || clip.bottom < logical.bottom)
    return false;

  ::GdiFlush();
  DirectPixels px;
  px.bits = static_cast<std::uint8_t*>(dib.dsBm.bmBits);
  px.width = dib.dsBm.bmWidth;
  px.height = dib.dsBm.bmHeight;
  px.origin = origin;
  if (!FindRowOrder(dc, px, {logical.left, logical.top}, {device.left, device.top})) return false;
  out = px;
  return true;
}

}  // namespace zandle::drawing
