#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <typeinfo>

#include "popup/popup_control.h"
#include "popup/popup_item.h"
#include "popup/popup_themes.h"
#include "survey/demo_layouts.h"
#include "survey/survey_layout.h"
#include "surface.h"

namespace zandle::survey {
namespace {

using popup::CHyperLinkPopupItem;
using popup::CPopupControl;

CHyperLinkPopupItem* Item(CPopupControl& popup, int index) {
  return static_cast<CHyperLinkPopupItem*>(popup.GetItem(index));
}

bool SameRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b) {
  return r.left == l && r.top == t && r.right == rr && r.bottom == b;
}

LONG FontHeight(HFONT font) {
  LOGFONTW description{};
  ::GetObjectW(font, sizeof(description), &description);
  return description.lfHeight;
}

TEST(SurveyLayout, SevenItemsInTheTableOrder) {
  CPopupControl popup;
  const LONG initialHeight = FontHeight(popup.GetPaintManager().textFont.get());
  LayoutSurvey(popup, SurveyTitle(L"Bridge", L"Print"), L"https://example.com/s?q=1");
  ASSERT_EQ(popup.GetItemCount(), 7);
  const int ids[] = {0, 0, -2, -3, -4, -5, -1};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Item(popup, i)->id, ids[i]) << i;
  EXPECT_EQ(Item(popup, 0)->caption, L"Bridge-Print");
  EXPECT_TRUE(Item(popup, 0)->bold);
  EXPECT_FALSE(Item(popup, 0)->hyperlink);
  EXPECT_EQ(Item(popup, 0)->textFormat, 0x25u);
  EXPECT_EQ(Item(popup, 1)->caption.substr(0, 2), L"\u3000\u3000");
  EXPECT_NE(Item(popup, 1)->caption.find(L'\n'), std::wstring::npos);
  EXPECT_EQ(Item(popup, 2)->caption, L"[\u66f4\u591a\u4fe1\u606f\u2026\u2026]");
  EXPECT_EQ(Item(popup, 2)->linkAddress, L"https://example.com/s?q=1");
  EXPECT_EQ(Item(popup, 2)->captionColor, RGB(32, 32, 255));
  EXPECT_TRUE(SameRect(Item(popup, 3)->itemRect, 50, 74, 121, 90));
  EXPECT_TRUE(SameRect(Item(popup, 4)->itemRect, 135, 74, 206, 90));
  EXPECT_TRUE(SameRect(Item(popup, 5)->itemRect, 220, 74, 291, 90));
  for (int i = 3; i < 7; ++i) {
    EXPECT_TRUE(Item(popup, i)->isButton) << i;
    EXPECT_NE(Item(popup, i)->GetImage(), nullptr) << i;
  }
  EXPECT_EQ(Item(popup, 5)->GetImage()->GetWidth(), 68);
  EXPECT_EQ(popup.HitTest({316, 22}), Item(popup, 6));  // the close item lies on top
  EXPECT_EQ(popup.GetTheme(), 2);
  // One unit larger in magnitude than the initial theme's font, kept under theme 2 and 4.
  const LONG expected = initialHeight + (initialHeight > 0 ? 1 : -1);
  EXPECT_EQ(FontHeight(Item(popup, 1)->GetTextFont()), expected);
  LayoutSurvey(popup, SurveyTitle(L"", L""), L"", true);
  EXPECT_EQ(popup.GetTheme(), 4);
  EXPECT_NE(dynamic_cast<popup::CPopupThemeOffice2007*>(&popup.GetPaintManager()), nullptr);
  EXPECT_EQ(popup.GetItemCount(), 7);
  EXPECT_EQ(Item(popup, 0)->caption, L"-");
  EXPECT_EQ(FontHeight(Item(popup, 1)->GetTextFont()), FontHeight(popup.GetPaintManager().textFont.get()) +
                                                           (initialHeight > 0 ? 1 : -1));
}

TEST(SurveyLayout, TitleJoinsTheNamesAsGiven) {
  EXPECT_EQ(SurveyTitle(L"", L""), L"-");
  EXPECT_EQ(SurveyTitle(L"", L"Print"), L"-Print");
  EXPECT_EQ(SurveyTitle(L"\u6865\u6881", L"\U0001F5A8"), L"\u6865\u6881-\U0001F5A8");
}

TEST(DemoLayouts, SizesAndThemes) {
  EXPECT_EQ(LayoutSize(2).cx, 329);
  EXPECT_EQ(LayoutSize(4).cy, 128);
  EXPECT_EQ(LayoutSize(9).cx, 220);
  EXPECT_EQ(LayoutSize(9).cy, 90);
  EXPECT_EQ(LayoutSize(0).cx, 170);
  EXPECT_EQ(LayoutSize(42).cy, 130);
  const struct {
    int index, items;
    const std::type_info& manager;
  } layouts[] = {{0, 8, typeid(popup::CPopupThemeOffice2000)}, {1, 8, typeid(popup::CPopupThemeOfficeXP)},
                 {3, 6, typeid(popup::CPopupThemeMSN)},        {5, 7, typeid(popup::CPopupPaintManager)},
                 {6, 7, typeid(popup::CPopupPaintManager)},    {7, 7, typeid(popup::CPopupPaintManager)},
                 {8, 7, typeid(popup::CPopupPaintManager)},    {9, 4, typeid(popup::CPopupPaintManager)}};
  for (const auto& l : layouts) {
    CPopupControl popup;
    BuildLayout(popup, l.index, L"t", L"l");
    EXPECT_EQ(popup.GetItemCount(), l.items) << l.index;
    EXPECT_EQ(typeid(popup.GetPaintManager()), l.manager) << l.index;
  }
  CPopupControl none;
  BuildLayout(none, 10, L"t", L"l");
  EXPECT_EQ(none.GetItemCount(), 0);
}

TEST(DemoLayouts, ItemTablesWhereThePicturesAndFittingShow) {
  CPopupControl word;
  LayoutWordTheme(word, true);
  EXPECT_EQ(Item(word, 0)->caption, L"Word XP Theme");
  EXPECT_EQ(Item(word, 0)->captionColor, RGB(255, 255, 255));
  EXPECT_EQ(Item(word, 0)->itemRect.left, 25);
  EXPECT_LT(Item(word, 0)->itemRect.right, 170);  // fitted to the caption
  EXPECT_EQ(Item(word, 3)->iconOffset.x, 23 / 2 - 16 / 2);  // centred in 23 x 23
  EXPECT_EQ(Item(word, 3)->iconOffset.y, 23 / 2 - 16 / 2);
  EXPECT_EQ(Item(word, 5)->id, -1);
  EXPECT_EQ(Item(word, 5)->GetImage()->GetWidth(), 15);  // 45 / 3 frames
  EXPECT_EQ(Item(word, 7)->id, 1);
  EXPECT_TRUE(Item(word, 7)->isButton);

  CPopupControl msn;
  LayoutProductInformation(msn);
  EXPECT_EQ(Item(msn, 1)->itemRect.right, 160);  // right aligned: the right edge stays
  EXPECT_LT(Item(msn, 1)->itemRect.left, 160);
  EXPECT_EQ(Item(msn, 2)->itemRect.right, 170);  // height only
  EXPECT_NE(Item(msn, 2)->itemRect.bottom, 100);
  EXPECT_EQ(Item(msn, 2)->id, -2);
  EXPECT_EQ(Item(msn, 3)->GetImage()->GetWidth(), 13);

  CPopupControl green;
  LayoutCustomColors(green, 7);
  EXPECT_EQ(Item(green, 0)->backgroundColor, RGB(30, 120, 30));
  EXPECT_EQ(Item(green, 0)->borderColor, RGB(255, 255, 0));
  EXPECT_EQ(Item(green, 1)->backgroundColor, RGB(70, 130, 70));
  EXPECT_EQ(Item(green, 2)->captionColor, drawing::kNoColor);
  EXPECT_EQ(Item(green, 3)->captionColor, RGB(255, 255, 0));
  EXPECT_EQ(Item(green, 4)->GetImage()->GetWidth(), 32);
  CPopupControl black;
  LayoutCustomColors(black, 6);
  EXPECT_EQ(Item(black, 2)->captionColor, RGB(150, 150, 150));

  CPopupControl tip;
  LayoutTooltip(tip);
  EXPECT_EQ(Item(tip, 0)->backgroundColor, RGB(255, 255, 225));
  EXPECT_EQ(Item(tip, 3)->GetImage()->GetWidth(), 18);
}

}  // namespace
}  // namespace zandle::survey
