// The focus mark: a dotted frame round the item the keyboard is on, drawn by every
// theme and in high contrast.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "picture_file.h"
#include "pinned_picture.h"
#include "popup/desktop_settings.h"
#include "popup/popup_control.h"
#include "survey/demo_layouts.h"
#include "survey/survey_layout.h"
#include "surface.h"

namespace zandle::survey {
namespace {

using drawing::testing::Surface;

// The second level, (135, 74)-(206, 90), framed two pixels outside.
constexpr RECT kMark{133, 72, 208, 92};

bool IsDot(int x, int y) {
  const bool edge = ((x == kMark.left || x == kMark.right - 1) && y >= kMark.top && y < kMark.bottom) ||
                    ((y == kMark.top || y == kMark.bottom - 1) && x >= kMark.left && x < kMark.right);
  return edge && (x + y) % 2 == 0;
}

// The survey with the keyboard on "一般": Home to the first level, then Tab.
void FocusSecondLevel(popup::CPopupControl& popup) {
  ::SendMessageW(popup.GetSafeHwnd(), WM_SETFOCUS, 0, 0);
  ::SendMessageW(popup.GetSafeHwnd(), WM_KEYDOWN, VK_HOME, 0);
  ::SendMessageW(popup.GetSafeHwnd(), WM_KEYDOWN, VK_TAB, 0);
  ASSERT_EQ(popup.GetFocusedItem(), popup.GetItem(4));
}

std::unique_ptr<Surface> Paint(popup::CPopupControl& popup, SIZE size) {
  auto surface = std::make_unique<Surface>(size.cx, size.cy, RGB(1, 2, 3));
  popup.PaintPopup(surface->dc(), size);
  return surface;
}

TEST(FocusMark, EveryThemeDrawsItRoundTheFocusedItemOnly) {
  popup::test::ScopedHighContrast off(false);
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  ASSERT_TRUE(popup.Create(nullptr));
  const SIZE size = LayoutSize(2);
  for (int theme = 0; theme <= 5; ++theme) {
    popup.SetTheme(theme);
    ::SendMessageW(popup.GetSafeHwnd(), WM_KILLFOCUS, 0, 0);
    const auto without = Paint(popup, size);
    FocusSecondLevel(popup);
    const auto with = Paint(popup, size);
    int changedDots = 0, dots = 0, strays = 0;
    for (int y = 0; y < size.cy; ++y)
      for (int x = 0; x < size.cx; ++x) {
        const bool changed = with->Pixel(x, y) != without->Pixel(x, y);
        if (IsDot(x, y)) {
          ++dots;
          changedDots += changed;
        } else {
          strays += changed;
        }
      }
    EXPECT_EQ(strays, 0) << "theme " << theme;
    EXPECT_GT(changedDots, dots * 9 / 10) << "theme " << theme << ": the mark is not to be seen";
  }
}

TEST(FocusMark, InHighContrastInTheTextColourAndPinned) {
  popup::test::ScopedHighContrast on(true);
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  ASSERT_TRUE(popup.Create(nullptr));
  const SIZE size = LayoutSize(2);
  FocusSecondLevel(popup);
  const auto painted = Paint(popup, size);
  const Surface& surface = *painted;
  for (int y = 0; y < size.cy; ++y)
    for (int x = 0; x < size.cx; ++x)
      if (IsDot(x, y)) EXPECT_EQ(surface.Pixel(x, y), ::GetSysColor(COLOR_WINDOWTEXT)) << x << "," << y;
  EXPECT_FALSE(popup::testing::SavePicture(surface, "focus_high_contrast_survey").empty());
  const testing::Comparison pinned =
      testing::CompareWithPinned(surface, testing::PinnedPath("focus_high_contrast_survey"));
  ASSERT_TRUE(pinned.loaded) << "no pinned picture";
  EXPECT_EQ(pinned.differing, 0) << "differs first at " << pinned.first.x << "," << pinned.first.y;
}

TEST(FocusMark, TheSurveyPinnedWithTheKeyboardOnTheSecondLevel) {
  popup::test::ScopedHighContrast off(false);
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  ASSERT_TRUE(popup.Create(nullptr));
  const SIZE size = LayoutSize(2);
  FocusSecondLevel(popup);
  const auto painted = Paint(popup, size);
  const Surface& surface = *painted;
  EXPECT_FALSE(popup::testing::SavePicture(surface, "focus_survey").empty());
  const testing::Comparison pinned = testing::CompareWithPinned(surface, testing::PinnedPath("focus_survey"));
  ASSERT_TRUE(pinned.loaded) << "no pinned picture";
  EXPECT_EQ(pinned.differing, 0) << "differs first at " << pinned.first.x << "," << pinned.first.y;
}

}  // namespace
}  // namespace zandle::survey
