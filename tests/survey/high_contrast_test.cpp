// High contrast: every layout in every theme paints with the system colours only, and
// the popup stops being see-through.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <string>

#include "picture_file.h"
#include "pinned_picture.h"
#include "popup/desktop_settings.h"
#include "popup/popup_control.h"
#include "popup/popup_screen.h"
#include "survey/demo_layouts.h"
#include "survey/survey_layout.h"
#include "survey/zandle_demo_dlg.h"
#include "survey/zandle_ex.h"
#include "host_test_support.h"
#include "surface.h"

namespace zandle::survey {
namespace {

using drawing::testing::Surface;

// Pixel count per colour of the picture.
std::map<COLORREF, int> Colours(const Surface& surface) {
  std::map<COLORREF, int> counts;
  for (int y = 0; y < surface.height(); ++y)
    for (int x = 0; x < surface.width(); ++x) ++counts[surface.Pixel(x, y)];
  return counts;
}

const std::set<COLORREF>& SystemColours() {
  static const std::set<COLORREF> colours = {
      ::GetSysColor(COLOR_WINDOW),    ::GetSysColor(COLOR_WINDOWTEXT),    ::GetSysColor(COLOR_HOTLIGHT),
      ::GetSysColor(COLOR_HIGHLIGHT), ::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_WINDOWFRAME)};
  return colours;
}

std::string Foreign(const std::map<COLORREF, int>& counts) {
  std::string out;
  for (const auto& [colour, count] : counts)
    if (!SystemColours().count(colour)) {
      char line[48];
      snprintf(line, sizeof(line), " #%02X%02X%02X x%d", GetRValue(colour), GetGValue(colour), GetBValue(colour),
               count);
      out += line;
    }
  return out;
}

TEST(HighContrast, EveryLayoutInEveryThemeHotOrNotPaintsSystemColoursOnly) {
  popup::test::ScopedHighContrast on(true);
  for (int index = 0; index < kLayoutCount; ++index) {
    popup::CPopupControl popup;
    BuildLayout(popup, index, SurveyTitle(L"ZandleDemo", L"Print"), L"");
    ASSERT_TRUE(popup.Create(nullptr));
    ASSERT_TRUE(popup.IsHighContrast());
    const SIZE size = LayoutSize(index);
    for (int theme = 0; theme <= 5; ++theme) {
      popup.SetTheme(theme);
      for (int hot = -1; hot < popup.GetItemCount(); ++hot) {
        popup.SetHotItem(hot < 0 ? nullptr : popup.GetItem(hot));
        Surface surface(size.cx, size.cy, RGB(1, 2, 3));
        popup.PaintPopup(surface.dc(), size);
        EXPECT_EQ(Foreign(Colours(surface)), "") << "layout " << index << " theme " << theme << " hot " << hot;
      }
    }
    popup.SetHotItem(nullptr);
  }
}

TEST(HighContrast, TheSurveyInSystemColoursWithItsLinkHotLevelAndShapes) {
  popup::test::ScopedHighContrast on(true);
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  ASSERT_TRUE(popup.Create(nullptr));
  const SIZE size = LayoutSize(2);
  popup.SetHotItem(popup.GetItem(4));  // the second level, "一般"
  Surface surface(size.cx, size.cy, RGB(1, 2, 3));
  popup.PaintPopup(surface.dc(), size);
  EXPECT_FALSE(popup::testing::SavePicture(surface, "high_contrast_survey").empty());

  const COLORREF window = ::GetSysColor(COLOR_WINDOW), text = ::GetSysColor(COLOR_WINDOWTEXT),
                 link = ::GetSysColor(COLOR_HOTLIGHT), highlight = ::GetSysColor(COLOR_HIGHLIGHT),
                 highlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT), frame = ::GetSysColor(COLOR_WINDOWFRAME);
  EXPECT_EQ(Foreign(Colours(surface)), "");
  // The frame all round, the background inside it.
  for (int x = 0; x < size.cx; ++x) {
    EXPECT_EQ(surface.Pixel(x, 0), frame) << x;
    EXPECT_EQ(surface.Pixel(x, size.cy - 1), frame) << x;
  }
  for (int y = 0; y < size.cy; ++y) {
    EXPECT_EQ(surface.Pixel(0, y), frame) << y;
    EXPECT_EQ(surface.Pixel(size.cx - 1, y), frame) << y;
  }
  EXPECT_EQ(surface.Pixel(5, 5), window);
  const auto countIn = [&](RECT r, COLORREF colour) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += surface.Pixel(x, y) == colour;
    return n;
  };
  // The hot level (136, 74)-(206, 90): highlight behind the heart and "一般" in
  // highlighted text; the first level keeps the window behind its dark outline and glyphs.
  const RECT hot{135, 74, 206, 90}, first{50, 74, 121, 90};
  EXPECT_GT(countIn(hot, highlight), 400);
  EXPECT_GT(countIn(hot, highlightText), 60);
  EXPECT_EQ(countIn(hot, text), 0);
  EXPECT_GT(countIn(first, text), 60);
  EXPECT_GT(countIn(first, window), 400);
  EXPECT_EQ(countIn(first, highlight), 0);
  // The link in the hot-light colour; the title and request in the text colour.
  EXPECT_GT(countIn({226, 105, 309, 129}, link), 40);
  EXPECT_GT(countIn({46, 12, 309, 38}, text), 100);
  EXPECT_GT(countIn({46, 41, 306, 70}, text), 200);
  // The close icon's cross keeps its shape.
  EXPECT_GT(countIn({308, 14, 324, 30}, text), 10);
  EXPECT_GT(countIn({308, 14, 324, 30}, window), 10);

  EXPECT_TRUE(testing::MatchesPinned(surface, "high_contrast_survey"));
}

class HighContrastHost : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Create()); }
  testing::Screen screen_;
  popup::test::ScopedScreenQueries screenScope_{screen_};
  testing::FakeClient client_;
  CZandleDemoDlg host_{client_};
};

TEST_F(HighContrastHost, TheSurveyIsOpaqueInHighContrastAndFollowsTheSettingWhileUp) {
  {
    popup::test::ScopedHighContrast on(true);
    host_.ShowSurveyPopup(nullptr);
    EXPECT_TRUE(host_.popups.back()->IsHighContrast());
    EXPECT_EQ(host_.popups.back()->GetTransparency(), 255);
  }
  host_.ShowSurveyPopup(nullptr);
  CZandleEx* popup = host_.popups.back();
  EXPECT_FALSE(popup->IsHighContrast());
  EXPECT_EQ(popup->GetTransparency(), 200);  // the survey's preset
  {
    popup::test::ScopedHighContrast on(true);
    ::SendMessageW(popup->GetSafeHwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_TRUE(popup->IsHighContrast());
    EXPECT_EQ(popup->GetTransparency(), 255);
  }
  ::SendMessageW(popup->GetSafeHwnd(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_FALSE(popup->IsHighContrast());
}

BYTE WindowAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD flags = 0;
  return ::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) ? alpha : 255;
}

TEST_F(HighContrastHost, NoFadingInHighContrast) {
  {
    // Shown at once, in a window that is not layered at all.
    popup::test::ScopedHighContrast on(true);
    host_.ShowSurveyPopup(nullptr);
    CZandleEx* popup = host_.popups.back();
    EXPECT_EQ(popup->GetPopupState(), static_cast<int>(popup::PopupState::Showing));
    EXPECT_EQ(::GetWindowLongW(popup->GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  }
  // Switched on halfway into a fade: opaque from then on, to the end of the fade.
  host_.ShowSurveyPopup(nullptr);
  CZandleEx* fading = host_.popups.back();
  const HWND window = fading->GetSafeHwnd();
  ASSERT_EQ(fading->GetPopupState(), static_cast<int>(popup::PopupState::Expanding));
  ::SendMessageW(window, WM_TIMER, popup::TimerExpanding, 0);
  ASSERT_LT(WindowAlpha(window), 255);
  popup::test::ScopedHighContrast on(true);
  ::SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  EXPECT_EQ(WindowAlpha(window), 255);
  for (int i = 0; i < 40 && fading->GetPopupState() == static_cast<int>(popup::PopupState::Expanding); ++i) {
    ::SendMessageW(window, WM_TIMER, popup::TimerExpanding, 0);
    EXPECT_EQ(WindowAlpha(window), 255) << "step " << i;
  }
  EXPECT_EQ(fading->GetPopupState(), static_cast<int>(popup::PopupState::Showing));
}

}  // namespace
}  // namespace zandle::survey
