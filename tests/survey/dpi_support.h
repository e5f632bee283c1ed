// What the survey looks like at 96, 120, 144 and 192 DPI, worked out by hand, and the
// checks of its text read from the pixels of a painted popup.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "popup/popup_item.h"
#include "surface.h"

namespace zandle::survey::testing {

struct Expected {
  int dpi;
  SIZE size;
  RECT firstLevel;  // 96 DPI: 50, 74, 121, 90
  RECT link;        // 96 DPI: 226, 105, 309, 129
  RECT close;       // 96 DPI: 308, 14, 324, 30
};
// Each edge times dpi / 96, halves up.
inline constexpr Expected kAtDpi[] = {
    {96, {329, 128}, {50, 74, 121, 90}, {226, 105, 309, 129}, {308, 14, 324, 30}},
    {120, {411, 160}, {63, 93, 151, 113}, {283, 131, 386, 161}, {385, 18, 405, 38}},
    {144, {494, 192}, {75, 111, 182, 135}, {339, 158, 464, 194}, {462, 21, 486, 45}},
    {192, {658, 256}, {100, 148, 242, 180}, {452, 210, 618, 258}, {616, 28, 648, 60}},
};

inline const Expected* ExpectedAt(int dpi) {
  for (const Expected& e : kAtDpi)
    if (e.dpi == dpi) return &e;
  return nullptr;
}

// The ink of the level captions, drawn into their pictures.
inline constexpr COLORREF kLevelCaptionInk = RGB(32, 32, 32);

inline POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Near the text's colour in every channel: smoothed glyph edges count as text.
inline bool TextColoured(COLORREF pixel, COLORREF text) {
  const auto within = [](int a, int b) { return std::abs(a - b) <= 120; };
  return within(GetRValue(pixel), GetRValue(text)) && within(GetGValue(pixel), GetGValue(text)) &&
         within(GetBValue(pixel), GetBValue(text));
}

// A text-coloured pixel on an item's last row or column, or the popup's, is a cut glyph.
inline int CutPixels(const drawing::testing::Surface& s, const RECT& item, COLORREF text) {
  int cut = 0;
  const int right = std::min<int>(item.right, s.width()), bottom = std::min<int>(item.bottom, s.height());
  for (int x = item.left; x < right; ++x) cut += TextColoured(s.Pixel(x, bottom - 1), text);
  for (int y = item.top; y < bottom; ++y) cut += TextColoured(s.Pixel(right - 1, y), text);
  return cut;
}

inline int TextPixels(const drawing::testing::Surface& s, const RECT& item, COLORREF text) {
  int count = 0;
  for (int y = item.top; y < std::min<int>(item.bottom, s.height()); ++y)
    for (int x = item.left; x < std::min<int>(item.right, s.width()); ++x) count += TextColoured(s.Pixel(x, y), text);
  return count;
}

// The bottom of the caption's last line, from the font it is drawn with: vertically
// centred single lines about the item's middle, other text from the item's top.
inline LONG CaptionLinesBottom(HDC dc, const popup::CPopupItem& item, int lines) {
  const popup::CaptionFont font(item.GetTextFont(), item.hyperlink != FALSE, item.bold != FALSE,
                                item.hyperlink || item.bold);
  const HGDIOBJ old = ::SelectObject(dc, font.get());
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  const RECT& r = item.itemRect;
  if ((item.textFormat & DT_SINGLELINE) && (item.textFormat & DT_VCENTER))
    return r.top + (r.bottom - r.top - metrics.tmHeight) / 2 + metrics.tmHeight;
  return r.top + lines * metrics.tmHeight;
}

}  // namespace zandle::survey::testing
