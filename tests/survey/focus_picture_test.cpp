// The focus mark: a dotted frame round the item the keyboard is on, drawn by every
// theme and in high contrast.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "picture_file.h"
#include "pinned_picture.h"
#include "drawing/entry_points.h"
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
  ASSERT_TRUE(popup.TakeFocus(nullptr));
  ::SendMessageW(popup.GetSafeHwnd(), WM_KEYDOWN, VK_HOME, 0);
  ::SendMessageW(popup.GetSafeHwnd(), WM_KEYDOWN, VK_TAB, 0);
  ASSERT_EQ(popup.GetFocusedItem(), popup.GetItem(4));
}

std::unique_ptr<Surface> Paint(popup::CPopupControl& popup, SIZE size) {
  auto surface = std::make_unique<Surface>(size.cx, size.cy, RGB(1, 2, 3));
  popup.PaintPopup(surface->dc(), size);
  return surface;
}

// The two-level survey painted with the keyboard on its second level; null when that failed.
std::unique_ptr<Surface> PaintFocusedSurvey() {
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  if (!popup.Create(nullptr)) return nullptr;
  FocusSecondLevel(popup);
  if (::testing::Test::HasFatalFailure()) return nullptr;
  return Paint(popup, LayoutSize(2));
}

TEST(FocusMark, EveryThemeDrawsItRoundTheFocusedItemOnly) {
  popup::test::ScopedHighContrast off(false);
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  ASSERT_TRUE(popup.Create(nullptr));
  const SIZE size = LayoutSize(2);
  for (int theme = 0; theme <= 5; ++theme) {
    popup.SetTheme(theme);
    ::SetFocus(nullptr);
    ASSERT_FALSE(popup.HasKeyboardFocus());
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
  const SIZE size = LayoutSize(2);
  const auto painted = PaintFocusedSurvey();
  ASSERT_NE(painted, nullptr);
  const Surface& surface = *painted;
  for (int y = 0; y < size.cy; ++y)
    for (int x = 0; x < size.cx; ++x)
      if (IsDot(x, y)) {
        EXPECT_EQ(surface.Pixel(x, y), ::GetSysColor(COLOR_WINDOWTEXT)) << x << "," << y;
      }
  EXPECT_FALSE(popup::testing::SavePicture(surface, "focus_high_contrast_survey").empty());
  EXPECT_TRUE(testing::MatchesPinned(surface, "focus_high_contrast_survey"));
}

TEST(FocusMark, TheSurveyPinnedWithTheKeyboardOnTheSecondLevel) {
  popup::test::ScopedHighContrast off(false);
  const auto painted = PaintFocusedSurvey();
  ASSERT_NE(painted, nullptr);
  const Surface& surface = *painted;
  EXPECT_FALSE(popup::testing::SavePicture(surface, "focus_survey").empty());
  EXPECT_TRUE(testing::MatchesPinned(surface, "focus_survey"));
}

// The window the user works in closes: the system activates another, never the survey,
// which would then hold itself up with the keyboard.
TEST(KeyboardFocus, NotTakenWhenTheActiveWindowCloses) {
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  popup.SetPopupSize(LayoutSize(2));
  ASSERT_TRUE(popup.Show(nullptr));
  const HWND work = ::CreateWindowExW(0, L"STATIC", L"work", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                      nullptr, nullptr, nullptr);
  ASSERT_NE(work, nullptr);
  ::SetForegroundWindow(work);
  ::SetFocus(work);
  ASSERT_EQ(::GetFocus(), work);
  ::DestroyWindow(work);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  // Wine gives it the focus all the same (Windows would not: WS_EX_NOACTIVATE); the
  // popup does not take it as the user's: no hold, no mark, keys left alone.
  EXPECT_FALSE(popup.HasKeyboardFocus());
  EXPECT_FALSE(popup.GetMachine().focused());
  ::SendMessageW(popup.GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(::IsWindow(popup.GetSafeHwnd()));
  // Asked for, it takes the keyboard.
  EXPECT_TRUE(popup.TakeFocus(nullptr));
  EXPECT_TRUE(popup.HasKeyboardFocus());
  EXPECT_EQ(popup.GetFocusedItem(), popup.GetItem(3));  // the first level
}

// Without oleacc the popup leaves WM_GETOBJECT to the system, as any plain window does.
TEST(ScreenReaders, WithoutOleaccThePopupAnswersNothingOfItsOwn) {
  popup::CPopupControl popup;
  BuildLayout(popup, 2, SurveyTitle(L"ZandleDemo", L"Print"), L"");
  ASSERT_TRUE(popup.Create(nullptr));
  const HWND window = popup.GetSafeHwnd();
  {
    drawing::test::ScopedAbsentEntry noOleacc(drawing::OptionalEntry::Accessibility);
    EXPECT_EQ(::SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT)), 0);
  }
  // Other objects are never the popup's.
  EXPECT_EQ(::SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)), 0);
  EXPECT_NE(::SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT)), 0);
}

}  // namespace
}  // namespace zandle::survey
