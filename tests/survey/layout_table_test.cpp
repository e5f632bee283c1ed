// Every item of every layout against the layout tables: rectangle (fitted ones measured
// here with the fitting rule), id, caption, and the level pictures by their pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "popup/popup_control.h"
#include "popup/popup_item.h"
#include "survey/demo_layouts.h"
#include "survey/survey_layout.h"
#include "surface.h"

namespace zandle::survey {
namespace {

using popup::CHyperLinkPopupItem;
using popup::CPopupControl;

constexpr wchar_t kProductText[] =
    L"Please visit our website for additional product information including registration details.";
constexpr wchar_t kRequest[] =
    L"\u3000\u3000\u4e3a\u4e86\u4fc3\u8fdb\u6211\u4eec\u5bf9\u5de5\u5177\u7cfb\u7edf\u7684\u5f00\u53d1\u548c\u5b8c"
    L"\u5584\n\u66f4\u597d\u5730\u4e3a\u60a8\u670d\u52a1\uff0c\u8bf7\u70b9\u51fb\u4e0b\u9762\u7684\u9009\u9879\uff1a";

// How a layout sizes an item: as its table says, or fitted to its caption.
enum class Fit { None, Both, HeightOnly };

struct Row {
  RECT rect;
  int id;
  const wchar_t* caption;  // null: not checked
  Fit fit = Fit::None;
  UINT format = 0;
  bool hyperlink = true;
};

// The text of `caption` as the fitting rule measures it: the initial theme's font (the
// icon title font), with underline and weight set when hyperlink or bold is on.
SIZE Measure(const std::wstring& caption, UINT format, bool hyperlink, RECT bounds) {
  LOGFONTW description{};
  EXPECT_TRUE(::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(description), &description, 0));
  if (hyperlink) {
    description.lfUnderline = 1;
    description.lfWeight = 400;
  }
  const fw::UniqueFont font(::CreateFontIndirectW(&description));
  const HDC screen = ::GetDC(nullptr);
  const HGDIOBJ previous = ::SelectObject(screen, font.get());
  ::DrawTextW(screen, caption.c_str(), static_cast<int>(caption.size()), &bounds, format | DT_CALCRECT);
  ::SelectObject(screen, previous);
  ::ReleaseDC(nullptr, screen);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

RECT Expected(const Row& row) {
  RECT r = row.rect;
  if (row.fit == Fit::None) return r;
  r.bottom = r.top + Measure(row.caption, row.format, row.hyperlink, {0, 0, r.right - r.left, 0}).cy;
  if (row.fit == Fit::HeightOnly) return r;
  const LONG width = Measure(row.caption, row.format, row.hyperlink, {0, 0, 0, r.bottom - r.top}).cx;
  if (row.format & DT_RIGHT) {
    r.left = r.right - width;
  } else {
    r.right = r.left + width;
  }
  return r;
}

std::string Text(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

void CheckItems(int layout, const std::vector<Row>& rows) {
  CPopupControl popup;
  BuildLayout(popup, layout, L"Bridge-Print", L"https://example.com/s");
  ASSERT_EQ(popup.GetItemCount(), static_cast<int>(rows.size())) << "layout " << layout;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto* item = static_cast<const CHyperLinkPopupItem*>(popup.GetItem(static_cast<int>(i)));
    const std::string where = "layout " + std::to_string(layout) + " item " + std::to_string(i + 1);
    EXPECT_EQ(Text(item->itemRect), Text(Expected(rows[i]))) << where;
    EXPECT_EQ(item->id, rows[i].id) << where;
    if (rows[i].caption) EXPECT_EQ(item->caption, rows[i].caption) << where;
    EXPECT_EQ(item->textFormat, rows[i].format) << where;
    EXPECT_EQ(item->hyperlink != FALSE, rows[i].hyperlink) << where;
  }
}

const std::vector<Row> kSurvey = {
    {{46, 12, 309, 38}, 0, L"Bridge-Print", Fit::None, 0x25, false},
    {{46, 41, 306, 70}, 0, kRequest, Fit::None, 0, false},
    {{226, 105, 309, 129}, -2, L"[\u66f4\u591a\u4fe1\u606f\u2026\u2026]"},
    {{50, 74, 121, 90}, -3, L""},
    {{135, 74, 206, 90}, -4, L""},
    {{220, 74, 291, 90}, -5, L""},
    {{308, 14, 324, 30}, -1, L""},
};

std::vector<Row> WordTheme(const wchar_t* title) {
  return {
      {{25, 5, 170, 19}, 0, title, Fit::Both, 0, false},
      {{4, 4, 20, 19}, 0, L""},
      {{14, 40, 20, 49}, 0, L""},
      {{109, 55, 132, 78}, 0, L""},
      {{133, 55, 156, 78}, 0, L""},
      {{151, 6, 164, 19}, -1, L""},
      {{104, 30, 170, 45}, 0, L"Parameters"},
      {{65, 90, 105, 110}, 1, L"OK", Fit::None, 0x25, false},
  };
}

const std::vector<Row> kProductInformation = {
    {{25, 6, 170, 19}, 0, L"ZandleDemo", Fit::Both, 0, false},
    {{104, 27, 160, 45}, 0, L"Options", Fit::Both, 0x02},
    {{0, 50, 170, 100}, -2, kProductText, Fit::HeightOnly, 0x11},
    {{151, 6, 164, 19}, -1, L""},
    {{7, 6, 20, 19}, 0, L""},
    {{115, 102, 160, 120}, 0, L""},
};

const std::vector<Row> kCustomColors = {
    {{0, 0, 170, 130}, 0, L""},
    {{5, 25, 165, 125}, 0, L""},
    {{104, 27, 170, 45}, 0, L"more..."},
    {{0, 70, 170, 100}, -2, kProductText, Fit::HeightOnly, 0x11},
    {{12, 30, 12, 47}, 0, L""},
    {{5, 0, 170, 25}, 0, L"Message for You", Fit::None, 0x24, false},
    {{151, 6, 164, 19}, -1, L""},
};

const std::vector<Row> kTooltip = {
    {{0, 0, 220, 90}, 0, L""},
    {{20, 30, 200, 100}, -2, kProductText, Fit::None, 0x11},
    {{5, 0, 170, 25}, 0, nullptr, Fit::None, 0x24, false},  // its heading is ours to word
    {{200, 2, 218, 20}, -1, L""},
};

TEST(LayoutTables, EveryItemOfEveryLayout) {
  CheckItems(0, WordTheme(L"Word 2000 Theme"));
  CheckItems(1, WordTheme(L"Word XP Theme"));
  CheckItems(2, kSurvey);
  CheckItems(3, kProductInformation);
  CheckItems(4, kSurvey);
  for (int layout = 5; layout <= 8; ++layout) CheckItems(layout, kCustomColors);
  CheckItems(9, kTooltip);
}

// The picture of bitmap resource `id` as 0x00RRGGBB, row by row from the top.
std::vector<COLORREF> ResourcePixels(UINT id, int& width, int& height) {
  const fw::UniqueBitmap bitmap(static_cast<HBITMAP>(
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap.get(), sizeof(info), &info)) return {};
  width = info.bmWidth;
  height = info.bmHeight;
  BITMAPINFO request{};
  request.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> bgra(static_cast<size_t>(width) * height);
  const HDC screen = ::GetDC(nullptr);
  ::GetDIBits(screen, bitmap.get(), 0, static_cast<UINT>(height), bgra.data(), &request, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  std::vector<COLORREF> pixels;
  for (DWORD p : bgra) pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
  return pixels;
}

// Pixels of the picture that differ from what `id` shows at (left, top); magenta is
// the see-through ground, where the theme shows instead.
int Mismatches(const drawing::testing::Surface& painted, UINT id, int left, int top) {
  int width = 0, height = 0;
  const std::vector<COLORREF> picture = ResourcePixels(id, width, height);
  if (picture.empty()) return -1;
  int differing = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF want = picture[static_cast<size_t>(y) * width + x];
      if (want != RGB(255, 0, 255) && painted.Pixel(left + x, top + y) != want) ++differing;
    }
  return differing;
}

TEST(LayoutTables, LevelButtonsShowTheirOwnPictures) {
  for (const int layout : {2, 4}) {
    CPopupControl popup;
    BuildLayout(popup, layout, L"Bridge-Print", L"");
    drawing::testing::Surface surface(kSurveyWidth, kSurveyHeight);
    popup.PaintPopup(surface.dc(), {kSurveyWidth, kSurveyHeight});
    // Level n shows bitmap 160 + n, and not its neighbour's: 160 and 161 share one size.
    const POINT at[3] = {{50, 74}, {135, 74}, {220, 74}};
    for (int n = 0; n < 3; ++n) {
      EXPECT_EQ(Mismatches(surface, 160 + n, at[n].x, at[n].y), 0) << "layout " << layout << " level " << n + 1;
    }
    EXPECT_GT(Mismatches(surface, 161, at[0].x, at[0].y), 0) << layout;
    EXPECT_GT(Mismatches(surface, 160, at[1].x, at[1].y), 0) << layout;
  }
}

}  // namespace
}  // namespace zandle::survey
