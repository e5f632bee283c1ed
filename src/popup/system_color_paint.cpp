#include "popup/system_color_paint.h"

#include <cstdint>
#include <vector>

#include "drawing/draw_helpers.h"
#include "drawing/gdi_objects.h"
#include "drawing/image_manager_icon.h"
#include "framework/gdi_handles.h"

namespace zandle::popup {
namespace {

constexpr BYTE kAliasedQuality = NONANTIALIASED_QUALITY;  // smoothed edges would mix colours
constexpr int kWeightNormal = 400, kWeightBold = 700;
constexpr int kHalfOpaque = 128;
// Dark pixels of an opaque part carry the picture (outlines, glyphs); light ones are
// faces and highlights, which take the background's colour.
constexpr int kInkLuminance = 160;

// The icon drawn on white or on black, as 0x00RRGGBB pixels, top row first.
std::vector<std::uint32_t> IconOn(drawing::CImageManagerIcon& icon, SIZE size, COLORREF background) noexcept {
  std::vector<std::uint32_t> pixels;
  BITMAPINFO info{};
  info.bmiHeader = {static_cast<DWORD>(sizeof(BITMAPINFOHEADER)), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const fw::UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const fw::UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
  if (!bitmap || !dc || !bits) return pixels;
  const fw::ScopedSelectObject selected(dc.get(), bitmap.get());
  drawing::FillSolidRect(dc.get(), RECT{0, 0, size.cx, size.cy}, background);
  icon.Draw(dc.get(), POINT{0, 0}, icon.GetIcon(), size);
  ::GdiFlush();
  const auto* first = static_cast<const std::uint32_t*>(bits);
  pixels.assign(first, first + static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy));
  return pixels;
}

int Channel(std::uint32_t pixel, int shift) noexcept { return static_cast<int>((pixel >> shift) & 0xFF); }

// Rec. 601 luminance, 0..255, rounded to nearest.
int Luminance(std::uint32_t pixel) noexcept {
  return (299 * Channel(pixel, 16) + 587 * Channel(pixel, 8) + 114 * Channel(pixel, 0) + 500) / 1000;
}

// A pixel is ink when at least half opaque (on white and on black it then differs by
// less than half the range in every channel) and dark.
bool IsInk(std::uint32_t onWhite, std::uint32_t onBlack) noexcept {
  for (const int shift : {0, 8, 16}) {
    const int difference = Channel(onWhite, shift) - Channel(onBlack, shift);
    if (difference >= kHalfOpaque || difference <= -kHalfOpaque) return false;
  }
  return Luminance(onWhite) < kInkLuminance;
}

fw::UniqueFont AliasedFont(HFONT base, bool underline, bool bold) noexcept {
  LOGFONTW description{};
  if (base) ::GetObjectW(base, sizeof(description), &description);
  description.lfUnderline = underline ? 1 : 0;
  if (underline || bold) description.lfWeight = bold ? kWeightBold : kWeightNormal;
  description.lfQuality = kAliasedQuality;
  return drawing::CreateFontChecked(description);
}

}  // namespace

void DrawSystemColorBackground(HDC dc, RECT r) noexcept {
  drawing::FillSolidRect(dc, r, ::GetSysColor(COLOR_WINDOW));
  const COLORREF frame = ::GetSysColor(COLOR_WINDOWFRAME);
  drawing::Draw3dRect(dc, r, frame, frame);
}

void DrawIconShape(HDC dc, drawing::CImageManagerIcon& icon, POINT point, COLORREF color) noexcept {
  const SIZE size{icon.GetWidth(), icon.GetHeight()};
  if (size.cx <= 0 || size.cy <= 0) return;
  const std::vector<std::uint32_t> onWhite = IconOn(icon, size, RGB(255, 255, 255));
  const std::vector<std::uint32_t> onBlack = IconOn(icon, size, RGB(0, 0, 0));
  if (onWhite.size() != onBlack.size()) return;
  for (int y = 0; y < size.cy; ++y)
    for (int x = 0; x < size.cx; ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(size.cx) + static_cast<size_t>(x);
      if (IsInk(onWhite[i], onBlack[i])) ::SetPixelV(dc, point.x + x, point.y + y, color);
    }
}

void DrawSystemColorItem(HDC dc, CPopupItem& item, ItemState state, HFONT font) noexcept {
  const RECT& r = item.itemRect;
  const bool marked = item.isButton && (state.hot || state.pressed);
  if (marked) drawing::FillSolidRect(dc, r, ::GetSysColor(COLOR_HIGHLIGHT));
  if (item.borderColor != drawing::kNoColor) {
    const COLORREF frame = ::GetSysColor(COLOR_WINDOWFRAME);
    drawing::Draw3dRect(dc, r, frame, frame);
  }
  const COLORREF ink = marked           ? ::GetSysColor(COLOR_HIGHLIGHTTEXT)
                       : item.IsLink()  ? ::GetSysColor(COLOR_HOTLIGHT)
                                        : ::GetSysColor(COLOR_WINDOWTEXT);

  if (drawing::CImageManagerIcon* icon = item.GetImage(); icon && !icon->GetIcon().IsEmpty()) {
    DrawIconShape(dc, *icon, POINT{r.left + item.iconOffset.x, r.top + item.iconOffset.y}, ink);
    return;
  }
  if (item.caption.empty()) return;
  const bool hotLink = state.hot && item.hyperlink;
  const fw::UniqueFont aliased = AliasedFont(font, hotLink, item.bold != FALSE);
  const fw::ScopedSelectObject selected(dc, aliased.get());
  RECT t = CaptionTextRect(dc, item);
  const int length = static_cast<int>(item.caption.size());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ink);
  ::DrawTextW(dc, item.caption.c_str(), length, &t, item.textFormat);
}

}  // namespace zandle::popup
