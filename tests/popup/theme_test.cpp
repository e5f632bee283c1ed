#include <gtest/gtest.h>
#include <windows.h>

#include "drawing/color_manager.h"
#include "picture_file.h"
#include "popup/popup_themes.h"
#include "popup_test_support.h"
#include "survey/survey_layout.h"

namespace zandle::popup {
namespace {

using drawing::testing::MaxChannelDifference;
using drawing::testing::Surface;
using testing::KnownColors;

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kTeal = RGB(24, 180, 192);
constexpr COLORREF kUnpainted = RGB(1, 2, 3);

class ThemeTest : public ::testing::Test {
 protected:
  // Paints a popup of `size` with theme `theme` and whatever items the test added.
  void Paint(int theme, SIZE size, const char* pictureName = nullptr) {
    popup_.SetTheme(theme);
    surface_ = std::make_unique<Surface>(size.cx, size.cy, kUnpainted);
    popup_.PaintPopup(surface_->dc(), size);
    if (pictureName) testing::SavePicture(*surface_, pictureName);
  }
  COLORREF At(int x, int y) const { return surface_->Pixel(x, y); }
  void UseScheme(const wchar_t* name) {
    colors_.UseLunaScheme(name);
    scope_.reset();  // before the next scope saves what is installed
    scope_ = std::make_unique<testing::ScopedKnownColors>(colors_);
  }
  COLORREF Ext(int index) const { return drawing::GetColorManager().GetColor(index); }

  KnownColors colors_;
  std::unique_ptr<testing::ScopedKnownColors> scope_ = std::make_unique<testing::ScopedKnownColors>(colors_);
  CPopupControl popup_;
  std::unique_ptr<Surface> surface_;
};

TEST_F(ThemeTest, Office2000FramesCaptionBandAndLeftBar) {
  Paint(0, {170, 130}, "theme0-office2000");
  const COLORREF light = KnownColors::kHighlightEdge, dark = KnownColors::kShadow;
  // Outer raised frame: the bottom-right colour owns the top-right and bottom-left corners.
  EXPECT_EQ(At(0, 0), light);
  EXPECT_EQ(At(168, 0), light);
  EXPECT_EQ(At(169, 0), dark);
  EXPECT_EQ(At(0, 128), light);
  EXPECT_EQ(At(0, 129), dark);
  EXPECT_EQ(At(169, 129), dark);
  // Caption band (1, 1, 169, 23), navy at the left to teal at the right.
  EXPECT_EQ(At(1, 1), kNavy);
  EXPECT_EQ(At(1, 22), kNavy);
  EXPECT_LE(MaxChannelDifference(At(168, 12), kTeal), 2);
  EXPECT_EQ(At(1, 23), KnownColors::kFace);
  // Body (2, 24, 168, 128): sunken, then raised inside it.
  EXPECT_EQ(At(2, 24), dark);
  EXPECT_EQ(At(167, 24), light);
  EXPECT_EQ(At(167, 127), light);
  EXPECT_EQ(At(3, 25), light);
  EXPECT_EQ(At(166, 126), dark);
  // Left bar (4, 26, 34, 126).
  EXPECT_EQ(At(4, 26), kNavy);
  EXPECT_EQ(At(33, 125), kNavy);
  EXPECT_EQ(At(34, 26), KnownColors::kFace);
  EXPECT_EQ(At(4, 126), dark);
  EXPECT_EQ(At(100, 80), KnownColors::kFace);
}

TEST_F(ThemeTest, OfficeXPIsFlatWithTheSameBandAndBar) {
  Paint(1, {170, 130}, "theme1-officexp");
  const COLORREF soft = Ext(drawing::EXT_COLOR_SOFT_FACE);
  ASSERT_NE(soft, KnownColors::kFace);
  EXPECT_EQ(At(0, 0), KnownColors::kShadow);
  EXPECT_EQ(At(169, 129), KnownColors::kShadow);
  EXPECT_EQ(At(1, 1), kNavy);
  EXPECT_EQ(At(1, 22), kNavy);
  EXPECT_EQ(At(1, 23), soft);
  // Bar (2, 24, 32, 128), no body frames.
  EXPECT_EQ(At(2, 24), kNavy);
  EXPECT_EQ(At(31, 127), kNavy);
  EXPECT_EQ(At(32, 24), soft);
  EXPECT_EQ(At(2, 128), soft);
  EXPECT_EQ(At(100, 80), soft);
}

TEST_F(ThemeTest, Office2003FollowsTheBlueDesktopScheme) {
  UseScheme(L"NormalColor");
  ASSERT_EQ(drawing::GetColorManager().GetLunaTheme(), drawing::kLunaBlue);
  Paint(2, {200, 100}, "theme2-office2003-blue");
  const COLORREF frame = RGB(0, 45, 150);
  EXPECT_EQ(At(0, 0), frame);
  EXPECT_EQ(At(199, 99), frame);
  EXPECT_EQ(At(0, 99), frame);
  // Caption band (1, 1, 199, 8), top to bottom.
  EXPECT_EQ(At(1, 1), RGB(89, 135, 214));
  EXPECT_EQ(At(198, 1), RGB(89, 135, 214));
  EXPECT_LE(MaxChannelDifference(At(1, 7), RGB(0, 45, 150)), 14);
  // Background: the face gradient reversed, light at the top.
  EXPECT_LE(MaxChannelDifference(At(100, 8), RGB(196, 218, 250)), 4);
  EXPECT_LE(MaxChannelDifference(At(100, 98), RGB(158, 190, 245)), 2);

  auto& theme = popup_.GetPaintManager();
  EXPECT_EQ(theme.hotFillColor, RGB(255, 238, 194));
  EXPECT_EQ(theme.pressedFillColor, RGB(254, 128, 62));
  EXPECT_EQ(theme.hotBorderGradient.startColor.Effective(), kNavy);
  EXPECT_EQ(theme.pressedBorderGradient.endColor.Effective(), kNavy);
}

TEST_F(ThemeTest, Office2003SchemeBorders) {
  const struct {
    const wchar_t* name;
    COLORREF border;
  } schemes[] = {{L"HomeStead", RGB(63, 93, 56)}, {L"Metallic", RGB(75, 75, 111)}};
  for (const auto& s : schemes) {
    UseScheme(s.name);
    popup_.SetTheme(2);
    EXPECT_EQ(popup_.GetPaintManager().hotBorderGradient.startColor.Effective(), s.border);
    EXPECT_EQ(popup_.GetPaintManager().pressedBorderGradient.startColor.Effective(), s.border);
  }
}

TEST_F(ThemeTest, Office2003WithoutSchemeKeepsOfficeXPButtonColours) {
  Paint(2, {200, 100}, "theme2-office2003-classic");
  auto& theme = popup_.GetPaintManager();
  EXPECT_EQ(theme.hotFillColor, Ext(drawing::EXT_COLOR_SOFT_HIGHLIGHT));
  EXPECT_EQ(theme.pressedFillColor, Ext(drawing::EXT_COLOR_HALF_HIGHLIGHT));
  EXPECT_EQ(theme.hotBorderGradient.startColor.Effective(), Ext(drawing::EXT_COLOR_HIGHLIGHT_BORDER));
  EXPECT_EQ(At(0, 0), Ext(drawing::EXT_COLOR_THEME_FRAME));
  // Reversed face gradient: its end colour at the top, its start (the face) at the bottom.
  const auto& face = drawing::GetColorManager().themeFaceGradient;
  EXPECT_LE(MaxChannelDifference(At(100, 8), face.endColor.Effective()), 4);
  EXPECT_LE(MaxChannelDifference(At(100, 98), KnownColors::kFace), 2);
}

TEST_F(ThemeTest, Office2003GripperStartsAtTwoThreeOrTheMiddle) {
  const struct {
    int width, x0;
  } cases[] = {{43, 2}, {44, 3}, {200, 81}, {20, 2}};
  const COLORREF shadow = RGB(40, 50, 71), light = RGB(249, 249, 251), core = RGB(97, 116, 152);
  for (const auto& c : cases) {
    Paint(2, {c.width, 30});
    SCOPED_TRACE(c.width);
    EXPECT_NE(At(c.x0 - 1, 2), shadow);
    for (int k = 0; k < 9; ++k) {
      const int x = c.x0 + 4 * k;
      if (x + 2 >= c.width - 1) break;  // dots past the frame are clipped by the buffer only
      EXPECT_EQ(At(x, 2), shadow) << k;
      EXPECT_EQ(At(x + 1, 2), shadow) << k;
      EXPECT_EQ(At(x, 3), shadow) << k;
      EXPECT_EQ(At(x + 1, 3), core) << k;
      EXPECT_EQ(At(x + 2, 3), light) << k;
      EXPECT_EQ(At(x + 1, 4), light) << k;
      EXPECT_EQ(At(x + 2, 4), light) << k;
      EXPECT_NE(At(x + 3, 2), shadow) << k;
    }
  }
}

TEST_F(ThemeTest, Office2007ReadsTheBlueColourSet) {
  Paint(4, {200, 100}, "theme4-office2007");
  EXPECT_EQ(At(0, 0), RGB(55, 100, 160));
  EXPECT_EQ(At(199, 99), RGB(55, 100, 160));
  EXPECT_EQ(At(1, 1), RGB(227, 239, 255));
  EXPECT_LE(MaxChannelDifference(At(1, 7), RGB(180, 213, 255)), 7);
  EXPECT_LE(MaxChannelDifference(At(100, 8), RGB(214, 231, 252)), 4);
  EXPECT_LE(MaxChannelDifference(At(100, 98), RGB(168, 198, 238)), 2);
  const auto& theme = popup_.GetPaintManager();
  EXPECT_EQ(theme.textColor, RGB(0, 0, 0));
  EXPECT_EQ(theme.hotFillColor, RGB(255, 231, 162));
  EXPECT_EQ(theme.pressedFillColor, RGB(251, 140, 60));
  EXPECT_EQ(theme.hotBorderGradient.startColor.Effective(), RGB(255, 189, 105));
  EXPECT_EQ(theme.pressedBorderGradient.endColor.Effective(), RGB(255, 189, 105));
  EXPECT_NE(dynamic_cast<CPopupThemeOffice2003*>(&popup_.GetPaintManager()), nullptr);
}

TEST_F(ThemeTest, MsnFramesAndBands) {
  Paint(3, {170, 130}, "theme3-msn");
  EXPECT_EQ(At(0, 0), RGB(166, 180, 207));
  EXPECT_EQ(At(169, 129), RGB(69, 86, 144));
  EXPECT_EQ(At(1, 1), RGB(255, 255, 255));
  EXPECT_EQ(At(168, 128), RGB(207, 222, 244));
  // Bands from t = 2: rows 2..13, 14..24, 25..41, 42..127; the inner frame at row 24.
  EXPECT_EQ(At(80, 2), RGB(207, 215, 236));
  EXPECT_LE(MaxChannelDifference(At(80, 13), RGB(255, 255, 255)), 5);
  EXPECT_EQ(At(80, 14), RGB(255, 255, 255));
  EXPECT_EQ(At(80, 24), RGB(114, 142, 184));
  EXPECT_EQ(At(2, 24), RGB(114, 142, 184));
  EXPECT_EQ(At(2, 100), RGB(114, 142, 184));
  EXPECT_EQ(At(167, 24), RGB(185, 201, 239));
  EXPECT_EQ(At(80, 127), RGB(185, 201, 239));
  EXPECT_EQ(At(80, 25), RGB(207, 221, 244));
  EXPECT_EQ(At(80, 42), RGB(255, 255, 255));
  EXPECT_LE(MaxChannelDifference(At(80, 126), RGB(207, 221, 244)), 1);
}

TEST_F(ThemeTest, PlainManagerFillsAndStopsWithoutAFrameColour) {
  Paint(9, {120, 60}, "theme-plain");
  EXPECT_EQ(popup_.GetTheme(), 9);
  EXPECT_EQ(typeid(popup_.GetPaintManager()), typeid(CPopupPaintManager));
  EXPECT_EQ(At(0, 0), KnownColors::kShadow);
  EXPECT_EQ(At(60, 30), KnownColors::kFace);

  popup_.GetPaintManager().frameGradient.SetStandardColor(drawing::kNoColor);
  surface_->Fill(kUnpainted);
  popup_.PaintPopup(surface_->dc(), {120, 60});
  EXPECT_EQ(At(0, 0), KnownColors::kFace);
  EXPECT_EQ(At(119, 59), KnownColors::kFace);
}

class ButtonFrameTest : public ThemeTest {
 protected:
  void SetUp() override {
    button_ = testing::AddItem(popup_, {80, 60, 120, 80});
    button_->isButton = TRUE;
  }
  void PaintWith(int theme, CPopupItem* hot, CPopupItem* pressed) {
    popup_.SetHotItem(hot);
    popup_.SetPressedItem(pressed);
    Paint(theme, {170, 130});
  }
  CPopupItem* button_ = nullptr;
};

TEST_F(ButtonFrameTest, MsnFillsAndFramesHotAndPressedButtons) {
  PaintWith(3, nullptr, nullptr);
  const COLORREF idle = At(90, 70);
  EXPECT_NE(idle, RGB(194, 238, 255));
  const COLORREF border = RGB(114, 142, 184);

  PaintWith(3, button_, nullptr);
  EXPECT_EQ(At(90, 70), RGB(194, 238, 255));
  EXPECT_EQ(At(80, 60), border);
  EXPECT_EQ(At(119, 79), border);
  EXPECT_EQ(At(120, 80), At(121, 81));  // nothing outside the item rectangle

  PaintWith(3, button_, button_);
  EXPECT_EQ(At(90, 70), RGB(134, 162, 224));
  EXPECT_EQ(At(80, 60), border);

  // Pressed, but the mouse has left it: the hot look.
  PaintWith(3, nullptr, button_);
  EXPECT_EQ(At(90, 70), RGB(194, 238, 255));
}

TEST_F(ButtonFrameTest, Office2000RaisesHotAndSinksPressedWithoutFill) {
  const COLORREF light = KnownColors::kHighlightEdge, dark = KnownColors::kShadow;
  PaintWith(0, button_, nullptr);
  EXPECT_EQ(At(80, 60), light);
  EXPECT_EQ(At(119, 79), dark);
  EXPECT_EQ(At(90, 70), KnownColors::kFace);
  PaintWith(0, button_, button_);
  EXPECT_EQ(At(80, 60), dark);
  EXPECT_EQ(At(119, 79), light);
  EXPECT_EQ(At(90, 70), KnownColors::kFace);
  PaintWith(0, nullptr, nullptr);
  EXPECT_EQ(At(80, 60), KnownColors::kFace);
}

TEST_F(ButtonFrameTest, ItemColoursAndNonButtonsWhileHot) {
  CPopupItem* panel = testing::AddItem(popup_, {20, 90, 60, 120}, nullptr, RGB(5, 6, 7), RGB(200, 100, 50));
  PaintWith(3, panel, panel);
  EXPECT_EQ(At(20, 90), RGB(200, 100, 50));
  EXPECT_EQ(At(59, 119), RGB(200, 100, 50));
  EXPECT_EQ(At(21, 91), RGB(5, 6, 7));  // no button fill: it is not a button
  EXPECT_EQ(At(58, 118), RGB(5, 6, 7));
}

}  // namespace
}  // namespace zandle::popup

namespace zandle::popup {
namespace {

TEST_F(ThemeTest, SurveyPicturesWithTheOffice2003And2007Looks) {
  UseScheme(L"NormalColor");
  survey::LayoutSurvey(popup_, L"ZandleDemo-Print", L"https://example.com/survey");
  ASSERT_EQ(popup_.GetItemCount(), 7);
  EXPECT_EQ(popup_.HitTest({316, 22})->id, -1);
  popup_.SetHotItem(popup_.GetItem(3));
  Paint(2, {survey::kSurveyWidth, survey::kSurveyHeight}, "survey-theme2-office2003");
  EXPECT_EQ(At(118, 82), RGB(255, 238, 194));  // the hot level button's fill, beside its picture
  popup_.SetHotItem(nullptr);
  Paint(4, {survey::kSurveyWidth, survey::kSurveyHeight}, "survey-theme4-office2007");
  EXPECT_EQ(At(0, 0), RGB(55, 100, 160));
}

}  // namespace
}  // namespace zandle::popup
