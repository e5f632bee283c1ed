// The survey at 96, 120, 144 and 192 DPI, in process: the monitor's DPI comes from the
// test's screen. Size, place, items, stacking, clicks and whether the text fits.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "picture_file.h"
#include "popup/popup_item.h"
#include "survey/zandle_demo_dlg.h"
#include "survey/zandle_ex.h"
#include "surface.h"

namespace zandle::survey {
namespace {

struct ScreenAt : testing::Screen {
  explicit ScreenAt(int dpi) : dpi(dpi) {}
  int DpiFor(const popup::Rect&) override { return dpi; }
  int dpi;
};

struct Expected {
  int dpi;
  SIZE size;
  RECT firstLevel;  // 96 DPI: 50, 74, 121, 90
  RECT link;        // 96 DPI: 226, 105, 309, 129
};
// Worked out by hand: each edge times dpi / 96, halves up.
const Expected kAtDpi[] = {
    {96, {329, 128}, {50, 74, 121, 90}, {226, 105, 309, 129}},
    {120, {411, 160}, {63, 93, 151, 113}, {283, 131, 386, 161}},
    {144, {494, 192}, {75, 111, 182, 135}, {339, 158, 464, 194}},
    {192, {658, 256}, {100, 148, 242, 180}, {452, 210, 618, 258}},
};

class SurveyAtDpi : public ::testing::TestWithParam<Expected> {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Create()); }
  CZandleEx* Show(int* levelOut = nullptr) {
    host_.ShowSurveyPopup(levelOut);
    return host_.popups.back();
  }
  static void Click(CZandleEx* popup, POINT at) {
    const HWND window = popup->GetSafeHwnd();
    ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  }
  static POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

  ScreenAt screen_{GetParam().dpi};
  popup::test::ScopedScreenQueries scope_{screen_};
  testing::FakeClient client_;
  CZandleDemoDlg host_{client_};
};

TEST_P(SurveyAtDpi, SizePlaceItemsAndStacking) {
  const Expected& e = GetParam();
  CZandleEx* first = Show();
  EXPECT_EQ(first->GetPopupSize().cx, e.size.cx);
  EXPECT_EQ(first->GetPopupSize().cy, e.size.cy);
  EXPECT_EQ(first->GetDpi(), e.dpi);
  EXPECT_TRUE(::EqualRect(&first->GetItem(3)->itemRect, &e.firstLevel));
  EXPECT_TRUE(::EqualRect(&first->GetItem(2)->itemRect, &e.link));
  // Neighbouring levels still meet 14 layout pixels apart, scaled edge by edge.
  EXPECT_EQ(first->GetItem(4)->itemRect.top, e.firstLevel.top);
  // Shown where the machine puts it: the corner, scaled size.
  for (int i = 0; i < 60 && first->GetPopupState() == 1; ++i) ::SendMessageW(first->GetSafeHwnd(), WM_TIMER, 296, 0);
  RECT window{};
  ::GetWindowRect(first->GetSafeHwnd(), &window);
  EXPECT_EQ(window.right, 1280);
  EXPECT_EQ(window.bottom, 994);
  EXPECT_EQ(window.bottom - window.top, e.size.cy);
  EXPECT_EQ(window.right - window.left, e.size.cx);

  CZandleEx* second = Show();
  EXPECT_EQ(second->GetAnchorPoint().y, 994 - e.size.cy);  // one scaled step up
  EXPECT_EQ(second->GetAnchorPoint().x, 1280);
}

TEST_P(SurveyAtDpi, ClicksAtTheScaledPlaces) {
  int levels[3] = {};
  for (int n = 0; n < 3; ++n) {
    CZandleEx* popup = Show(&levels[n]);
    Click(popup, Centre(popup->GetItem(3 + n)->itemRect));
    EXPECT_EQ(levels[n], n + 1);
  }
  EXPECT_EQ(client_.reported, (std::vector<int>{1, 2, 3}));
  Click(Show(), Centre(GetParam().link));
  EXPECT_TRUE(host_.popups.empty());
  CZandleEx* popup = Show();
  Click(popup, Centre(popup->GetItem(6)->itemRect));  // close
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_EQ(client_.reported.size(), 3u);
}

// Near the text's colour in every channel: smoothed glyph edges count as text.
bool TextColoured(COLORREF pixel, COLORREF text) {
  const auto within = [](int a, int b) { return std::abs(a - b) <= 120; };
  return within(GetRValue(pixel), GetRValue(text)) && within(GetGValue(pixel), GetGValue(text)) &&
         within(GetBValue(pixel), GetBValue(text));
}

// A text-coloured pixel on an item's last row or column, or the popup's, is a cut glyph.
int CutPixels(const drawing::testing::Surface& s, const RECT& item, COLORREF text) {
  int cut = 0;
  const int right = std::min<int>(item.right, s.width()), bottom = std::min<int>(item.bottom, s.height());
  for (int x = item.left; x < right; ++x) cut += TextColoured(s.Pixel(x, bottom - 1), text);
  for (int y = item.top; y < bottom; ++y) cut += TextColoured(s.Pixel(right - 1, y), text);
  return cut;
}

int TextPixels(const drawing::testing::Surface& s, const RECT& item, COLORREF text) {
  int count = 0;
  for (int y = item.top; y < std::min<int>(item.bottom, s.height()); ++y)
    for (int x = item.left; x < std::min<int>(item.right, s.width()); ++x) count += TextColoured(s.Pixel(x, y), text);
  return count;
}

TEST_P(SurveyAtDpi, TextFitsItsItems) {
  const Expected& e = GetParam();
  CZandleEx* popup = Show();
  drawing::testing::Surface surface(e.size.cx, e.size.cy);
  popup->PaintPopup(surface.dc(), e.size);
  popup::testing::SavePicture(surface, "survey-dpi" + std::to_string(e.dpi));
  const COLORREF text = popup->GetPaintManager().textColor, link = RGB(32, 32, 255);
  EXPECT_EQ(CutPixels(surface, popup->GetItem(0)->itemRect, text), 0) << "title";
  EXPECT_EQ(CutPixels(surface, popup->GetItem(1)->itemRect, text), 0) << "request";
  EXPECT_EQ(CutPixels(surface, popup->GetItem(2)->itemRect, link), 0) << "link";
  // Each is drawn at all.
  EXPECT_GT(TextPixels(surface, popup->GetItem(0)->itemRect, text), 20);
  EXPECT_GT(TextPixels(surface, popup->GetItem(1)->itemRect, text), 100);
  EXPECT_GT(TextPixels(surface, popup->GetItem(2)->itemRect, link), 10);
}

INSTANTIATE_TEST_SUITE_P(Dpi, SurveyAtDpi, ::testing::ValuesIn(kAtDpi),
                         [](const auto& info) { return std::to_string(info.param.dpi); });

}  // namespace
}  // namespace zandle::survey
