// The survey at 96, 120, 144 and 192 DPI, in process: the monitor's DPI comes from the
// test's screen. Size, place, items, stacking, clicks and whether the text fits.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "drawing/image_manager.h"
#include "dpi_support.h"
#include "host_test_support.h"
#include "picture_file.h"
#include "pinned_picture.h"
#include "popup/popup_item.h"
#include "survey/demo_layouts.h"
#include "survey/survey_layout.h"
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

using testing::CutPixels;
using testing::Expected;
using testing::kAtDpi;
using testing::TextPixels;

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
  static POINT Centre(const RECT& r) { return testing::Centre(r); }

  ScreenAt screen_{GetParam().dpi};
  popup::test::ScopedScreenQueries scope_{screen_};
  testing::FakeClient client_;
  testing::RecordingHost host_{client_};
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
  EXPECT_EQ(host_.opened, std::vector<std::wstring>{client_.link});
  CZandleEx* popup = Show();
  Click(popup, Centre(popup->GetItem(6)->itemRect));  // close
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_EQ(client_.reported.size(), 3u);
}

TEST_P(SurveyAtDpi, TextFitsItsItems) {
  const Expected& e = GetParam();
  CZandleEx* popup = Show();
  drawing::testing::Surface surface(e.size.cx, e.size.cy);
  popup->PaintPopup(surface.dc(), e.size);
  const std::string name = "survey-dpi" + std::to_string(e.dpi);
  popup::testing::SavePicture(surface, name);
  EXPECT_TRUE(testing::MatchesPinned(surface, name));
  const COLORREF text = popup->GetPaintManager().textColor, link = RGB(32, 32, 255);
  EXPECT_EQ(CutPixels(surface, popup->GetItem(0)->itemRect, text), 0) << "title";
  EXPECT_EQ(CutPixels(surface, popup->GetItem(1)->itemRect, text), 0) << "request";
  EXPECT_EQ(CutPixels(surface, popup->GetItem(2)->itemRect, link), 0) << "link";
  for (int n = 0; n < 3; ++n) {
    const RECT& level = popup->GetItem(3 + n)->itemRect;
    EXPECT_EQ(CutPixels(surface, level, testing::kLevelCaptionInk), 0) << "level " << n + 1;
    EXPECT_GT(TextPixels(surface, level, testing::kLevelCaptionInk), 20) << "level " << n + 1;
  }
  // Each is drawn at all.
  EXPECT_GT(TextPixels(surface, popup->GetItem(0)->itemRect, text), 20);
  EXPECT_GT(TextPixels(surface, popup->GetItem(1)->itemRect, text), 100);
  EXPECT_GT(TextPixels(surface, popup->GetItem(2)->itemRect, link), 10);
  // Each line's full height inside its item and the popup.
  const LONG titleBottom = testing::CaptionLinesBottom(surface.dc(), *popup->GetItem(0), 1);
  const LONG requestBottom = testing::CaptionLinesBottom(surface.dc(), *popup->GetItem(1), 2);
  const LONG linkBottom = testing::CaptionLinesBottom(surface.dc(), *popup->GetItem(2), 1);
  EXPECT_LE(titleBottom, popup->GetItem(0)->itemRect.bottom);
  EXPECT_LE(requestBottom, popup->GetItem(1)->itemRect.bottom);
  EXPECT_LE(linkBottom, e.size.cy);
}

// Each picture as drawn for the scale at or above the DPI's (125, 150, 200 %), not the
// 1x one: its sides are the 1x sides times the scale, halves up, in every layout.
TEST_P(SurveyAtDpi, PicturesDrawnForTheScale) {
  const int percent = GetParam().dpi == 96 ? 100 : GetParam().dpi == 120 ? 125 : GetParam().dpi == 144 ? 150 : 200;
  const auto scaled = [percent](int side) { return (2 * side * percent + 100) / 200; };
  for (int index = 0; index < kLayoutCount; ++index) {
    popup::CPopupControl at96, at;
    BuildLayout(at96, index, L"Bridge-Print", L"");
    BuildLayout(at, index, L"Bridge-Print", L"");
    at.ScaleLayout(GetParam().dpi);
    int pictures = 0;
    for (int i = 0; i < at.GetItemCount(); ++i) {
      const drawing::CImageManagerIcon* base = at96.GetItem(i)->GetImage();
      const drawing::CImageManagerIcon* image = at.GetItem(i)->GetImage();
      ASSERT_EQ(base == nullptr, image == nullptr) << index << "/" << i;
      if (!base) continue;
      ++pictures;
      EXPECT_EQ(image->GetWidth(), scaled(base->GetWidth())) << index << "/" << i;
      EXPECT_EQ(image->GetHeight(), scaled(base->GetHeight())) << index << "/" << i;
      // A centred picture stays centred in its scaled item.
      const RECT& r = at.GetItem(i)->itemRect;
      if (at96.GetItem(i)->iconOffset.x > 0) {
        EXPECT_LE(std::abs(2 * at.GetItem(i)->iconOffset.x - (r.right - r.left - image->GetWidth())), 1) << index;
      }
    }
    EXPECT_GT(pictures, 0) << index;
  }
}

INSTANTIATE_TEST_SUITE_P(Dpi, SurveyAtDpi, ::testing::ValuesIn(kAtDpi),
                         [](const auto& info) { return std::to_string(info.param.dpi); });

// Dragged onto a monitor of another DPI, a per-monitor aware host's popup gets
// WM_DPICHANGED: it lays itself out again for that DPI at the rectangle suggested, and
// back again, where every item is where the layout put it.
TEST(SurveyDpiChange, LaidOutAgainAtTheSuggestedRectangle) {
  ScreenAt screen(96);
  popup::test::ScopedScreenQueries scope(screen);
  testing::FakeClient client;
  testing::RecordingHost host(client);
  ASSERT_TRUE(host.Create());
  host.ShowSurveyPopup(nullptr);
  CZandleEx* popup = host.popups.back();
  const HWND window = popup->GetSafeHwnd();
  for (int i = 0; i < 60 && popup->GetPopupState() == 1; ++i) ::SendMessageW(window, WM_TIMER, 296, 0);
  const int levelWidthAt96 = popup->GetItem(3)->GetImage()->GetWidth();
  EXPECT_EQ(levelWidthAt96, 61);

  constexpr UINT kDpiChanged = 0x02E0;
  for (const Expected& e : {kAtDpi[3], kAtDpi[1], kAtDpi[0]}) {
    const RECT suggested{200, 300, 200 + e.size.cx, 300 + e.size.cy};
    ::SendMessageW(window, kDpiChanged, MAKEWPARAM(e.dpi, e.dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(popup->GetDpi(), e.dpi);
    RECT now{};
    ::GetWindowRect(window, &now);
    EXPECT_TRUE(::EqualRect(&now, &suggested)) << e.dpi;
    EXPECT_EQ(popup->GetPopupSize().cx, e.size.cx);
    EXPECT_EQ(popup->GetPopupSize().cy, e.size.cy);
    EXPECT_TRUE(::EqualRect(&popup->GetItem(3)->itemRect, &e.firstLevel)) << e.dpi;
    EXPECT_TRUE(::EqualRect(&popup->GetItem(2)->itemRect, &e.link)) << e.dpi;
    EXPECT_TRUE(::EqualRect(&popup->GetItem(6)->itemRect, &e.close)) << e.dpi;
    // The level pictures drawn for the new scale: 61 pixels wide at 100 %, 76 at 125 %, 122 at 200 %.
    EXPECT_EQ(popup->GetItem(3)->GetImage()->GetWidth(), e.dpi == 192 ? 122 : e.dpi == 120 ? 76 : 61);
    // The next survey stacks on it where it now stands.
    EXPECT_EQ(host.popupAnchor.x, suggested.right);
    EXPECT_EQ(host.popupAnchor.y, suggested.bottom);
  }
}

}  // namespace
}  // namespace zandle::survey
