#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <stdexcept>

#include "drawing/image_manager.h"
#include "popup/popup_themes.h"
#include "popup_test_support.h"
#include "survey/survey_layout.h"

namespace zandle::popup {
namespace {

using drawing::testing::MakeIcon;
using drawing::testing::Surface;
using testing::AddItem;
using testing::KnownColors;

constexpr COLORREF kNormal = RGB(200, 0, 0), kHot = RGB(0, 200, 0), kChecked = RGB(0, 0, 200);

class ItemTest : public ::testing::Test {
 protected:
  void Paint(SIZE size = {170, 130}) {
    surface_ = std::make_unique<Surface>(size.cx, size.cy, RGB(1, 2, 3));
    popup_.PaintPopup(surface_->dc(), size);
  }
  COLORREF At(int x, int y) const { return surface_->Pixel(x, y); }
  void GiveIcon(CPopupItem* item, COLORREF color, int state, int size = 16) {
    const HICON icon = MakeIcon(size, size, color, 255, false);
    ASSERT_TRUE(item->SetIcon(icon, state));
    ::DestroyIcon(icon);
  }
  // The width or height DrawText gives `text` in a font like the item's.
  SIZE Measure(const std::wstring& text, LONG weight, bool underline, UINT format, LONG width = 0) {
    LOGFONTW font{};
    ::GetObjectW(popup_.GetPaintManager().textFont.get(), sizeof(font), &font);
    font.lfWeight = weight;
    font.lfUnderline = underline;
    const HFONT handle = ::CreateFontIndirectW(&font);
    const HDC screen = ::GetDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(screen, handle);
    RECT r{0, 0, width, 0};
    ::DrawTextW(screen, text.c_str(), -1, &r, format | DT_CALCRECT);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(handle);
    return {r.right - r.left, r.bottom - r.top};
  }

  KnownColors colors_;
  testing::ScopedKnownColors scope_{colors_};
  CPopupControl popup_;
  std::unique_ptr<Surface> surface_;
};

TEST_F(ItemTest, ConstructionValuesAndInsertion) {
  auto* item = new CHyperLinkPopupItem({1, 2, 3, 4}, nullptr, RGB(1, 1, 1), drawing::kNoColor);
  EXPECT_EQ(item->References(), 1);
  EXPECT_FALSE(item->isButton);
  EXPECT_EQ(item->id, 0);
  EXPECT_TRUE(item->hyperlink);
  EXPECT_FALSE(item->bold);
  EXPECT_EQ(item->caption, L"");
  EXPECT_EQ(item->textFormat, 0u);
  EXPECT_EQ(item->captionColor, drawing::kNoColor);
  EXPECT_EQ(item->backgroundColor, RGB(1, 1, 1));
  EXPECT_EQ(item->iconId, -1);
  EXPECT_EQ(item->owner, nullptr);
  EXPECT_EQ(item->GetTextFont(), nullptr);
  EXPECT_TRUE(item->linkAddress.empty());
  EXPECT_FALSE(item->IsHot());
  Surface s(10, 10);
  item->Draw(s.dc());  // without an owner: nothing, no crash

  AddItem(popup_, {0, 0, 5, 5});
  EXPECT_EQ(popup_.AddItem(item), item);
  EXPECT_EQ(item->index, 1);
  EXPECT_EQ(item->owner, &popup_);
  EXPECT_EQ(item->GetTextFont(), popup_.GetPaintManager().textFont.get());
  item->InternalAddRef();
  popup_.RemoveAllItems();
  EXPECT_EQ(item->References(), 1);  // the popup gave its reference back
  EXPECT_EQ(popup_.GetItemCount(), 0);
  item->InternalRelease();
}

TEST_F(ItemTest, ListAccessAndHitTestFromTheTop) {
  CPopupItem* panel = AddItem(popup_, {0, 0, 100, 100});
  CPopupItem* button = AddItem(popup_, {10, 10, 30, 30});
  EXPECT_EQ(popup_.GetItemCount(), 2);
  EXPECT_EQ(popup_.GetItem(1), button);
  EXPECT_THROW(popup_.GetItem(2), std::invalid_argument);
  EXPECT_THROW(popup_.GetItem(-1), std::invalid_argument);
  EXPECT_EQ(popup_.HitTest({15, 15}), button);
  EXPECT_EQ(popup_.HitTest({30, 30}), panel);  // right and bottom edges are outside
  EXPECT_EQ(popup_.HitTest({100, 5}), nullptr);
  popup_.SetHotItem(button);
  popup_.SetPressedItem(panel);
  EXPECT_TRUE(button->IsHot());
  EXPECT_TRUE(panel->IsPressed());
  popup_.RemoveAllItems();
  EXPECT_EQ(popup_.GetHotItem(), nullptr);
  EXPECT_EQ(popup_.GetPressedItem(), nullptr);
}

TEST_F(ItemTest, IconsByStateWithFallbacks) {
  CPopupItem* item = AddItem(popup_, {50, 50, 80, 70}, L"ignored");
  item->isButton = TRUE;
  GiveIcon(item, kNormal, 1);
  GiveIcon(item, kHot, 2);
  GiveIcon(item, kChecked, 4);
  item->CenterIcon();
  EXPECT_EQ(item->iconOffset.x, 15 - 8);
  EXPECT_EQ(item->iconOffset.y, 10 - 8);

  test::ScopedCaptionRecorder captions;
  Paint();
  EXPECT_EQ(At(57, 52), kNormal);
  EXPECT_EQ(At(72, 67), kNormal);
  EXPECT_EQ(At(56, 52), KnownColors::kFace);
  EXPECT_EQ(At(50, 50), KnownColors::kFace);  // no button frame while idle
  popup_.SetHotItem(item);
  Paint();
  EXPECT_EQ(At(57, 52), kHot);
  EXPECT_EQ(At(50, 50), KnownColors::kHighlightEdge);
  popup_.SetPressedItem(item);
  Paint();
  EXPECT_EQ(At(57, 52), kChecked);
  EXPECT_EQ(At(50, 50), KnownColors::kShadow);
  popup_.SetHotItem(nullptr);
  Paint();
  EXPECT_EQ(At(57, 52), kHot);
  EXPECT_TRUE(captions.All().empty());  // an item with an icon draws no caption
}

TEST_F(ItemTest, MissingStatePicturesFallBack) {
  CPopupItem* normalOnly = AddItem(popup_, {0, 0, 16, 16});
  CPopupItem* withHot = AddItem(popup_, {20, 0, 36, 16});
  GiveIcon(normalOnly, kNormal, 1);
  GiveIcon(withHot, kNormal, 1);
  GiveIcon(withHot, kHot, 2);
  for (CPopupItem* item : {normalOnly, withHot}) {
    popup_.SetHotItem(item);
    popup_.SetPressedItem(item);
    Paint();
    EXPECT_EQ(At(item->itemRect.left + 3, 3), item == withHot ? kHot : kNormal);
  }
  // Any state other than 1 and 2 stores the pressed picture.
  GiveIcon(normalOnly, kChecked, 3);
  Paint();
  EXPECT_EQ(At(3, 3), kNormal);
  popup_.SetHotItem(normalOnly);
  popup_.SetPressedItem(normalOnly);
  Paint();
  EXPECT_EQ(At(3, 3), kChecked);
}

TEST_F(ItemTest, ItemsWithoutIconIdKeepTheirOwnIcons) {
  CPopupItem* first = AddItem(popup_, {0, 0, 16, 16});
  CPopupItem* second = AddItem(popup_, {20, 0, 36, 16});
  GiveIcon(first, kNormal, 1);
  GiveIcon(second, kHot, 1);
  Paint();
  EXPECT_EQ(At(3, 3), kNormal);
  EXPECT_EQ(At(23, 3), kHot);
  EXPECT_EQ(popup_.GetImageManager().IconSetCount(), 2u);
  // A shared explicit id shares the picture.
  second->iconId = 0;
  Paint();
  EXPECT_EQ(At(23, 3), kNormal);
}

TEST_F(ItemTest, CaptionFontFollowsHotHyperlinkAndBold) {
  CPopupItem* item = AddItem(popup_, {10, 10, 150, 30}, L"Link");
  item->bold = TRUE;
  test::ScopedCaptionRecorder captions;
  popup_.SetHotItem(item);
  Paint();
  const auto* hot = captions.Find(L"Link");
  ASSERT_NE(hot, nullptr);
  ASSERT_TRUE(hot->hasFont);
  EXPECT_EQ(hot->font.lfWeight, 700);
  EXPECT_TRUE(hot->font.lfUnderline);
  EXPECT_EQ(hot->backgroundMode, TRANSPARENT);
  EXPECT_EQ(hot->textColor, KnownColors::kButtonText);

  popup_.SetHotItem(nullptr);
  captions.Clear();
  Paint();
  EXPECT_EQ(captions.Find(L"Link")->font.lfWeight, 700);
  EXPECT_FALSE(captions.Find(L"Link")->font.lfUnderline);

  item->hyperlink = FALSE;
  popup_.SetHotItem(item);
  captions.Clear();
  Paint();
  EXPECT_FALSE(captions.Find(L"Link")->font.lfUnderline);
}

TEST_F(ItemTest, TemporaryFontOverridesABoldOwnFontWhileHot) {
  CPopupItem* item = AddItem(popup_, {10, 10, 150, 30}, L"Own");
  LOGFONTW own{};
  ::GetObjectW(popup_.GetPaintManager().textFont.get(), sizeof(own), &own);
  own.lfWeight = 700;
  item->SetTextFont(own);
  item->captionColor = RGB(32, 32, 255);
  test::ScopedCaptionRecorder captions;
  popup_.SetHotItem(item);
  Paint();
  EXPECT_EQ(captions.Find(L"Own")->font.lfWeight, 400);
  EXPECT_TRUE(captions.Find(L"Own")->font.lfUnderline);
  EXPECT_EQ(captions.Find(L"Own")->textColor, RGB(32, 32, 255));
  popup_.SetHotItem(nullptr);
  captions.Clear();
  Paint();
  EXPECT_EQ(captions.Find(L"Own")->font.lfWeight, 700);
  EXPECT_FALSE(captions.Find(L"Own")->font.lfUnderline);
}

TEST_F(ItemTest, OverTallWrappedTextIsCentredAboveItsRectangle) {
  const std::wstring text = L"Please visit our website for additional product information including registration.";
  CPopupItem* item = AddItem(popup_, {10, 50, 60, 60}, text.c_str());
  item->textFormat = DT_WORDBREAK | DT_VCENTER | DT_CENTER;
  item->hyperlink = FALSE;
  test::ScopedCaptionRecorder captions;
  Paint();
  const LONG h = Measure(text, 400, false, item->textFormat, 50).cy;
  ASSERT_GT(h, 10);
  const auto* drawn = captions.Find(text);
  ASSERT_NE(drawn, nullptr);
  EXPECT_EQ(drawn->rect.top, (50 + 60 - h) / 2);
  EXPECT_LT(drawn->rect.top, 50);
  EXPECT_EQ(drawn->rect.bottom, 60);
}

TEST_F(ItemTest, FittingToIconOrCaption) {
  CPopupItem* icon = AddItem(popup_, {5, 5, 100, 100}, L"a long caption that is not measured");
  GiveIcon(icon, kNormal, 1, 24);
  icon->FitHeight();
  icon->FitWidth();
  EXPECT_EQ(icon->itemRect.bottom, 5 + 24);
  EXPECT_EQ(icon->itemRect.right, 5 + 24);

  const std::wstring text = L"Parameters";
  const SIZE underlined = Measure(text, 400, true, 0);
  const SIZE bold = Measure(text, 700, true, 0);
  CPopupItem* left = AddItem(popup_, {104, 30, 170, 45}, text.c_str());
  left->FitHeight();
  left->FitWidth();
  EXPECT_EQ(left->itemRect.left, 104);
  EXPECT_EQ(left->itemRect.right, 104 + underlined.cx);
  EXPECT_EQ(left->itemRect.bottom, 30 + underlined.cy);

  CPopupItem* right = AddItem(popup_, {104, 27, 160, 45}, text.c_str());
  right->textFormat = DT_RIGHT;
  right->bold = TRUE;
  right->FitWidth();
  EXPECT_EQ(right->itemRect.right, 160);
  EXPECT_EQ(right->itemRect.left, 160 - bold.cx);

  CPopupItem* centred = AddItem(popup_, {20, 0, 160, 20}, text.c_str());
  centred->textFormat = DT_CENTER;
  centred->FitWidth();
  EXPECT_EQ(centred->itemRect.right - centred->itemRect.left, underlined.cx);
  EXPECT_LE(std::abs((centred->itemRect.left + centred->itemRect.right) - (20 + 160)), 1);

  CPopupItem* wrapped = AddItem(popup_, {0, 50, 170, 100}, L"Please visit our website for more.");
  wrapped->textFormat = DT_WORDBREAK | DT_CENTER;
  wrapped->FitWidth();
  EXPECT_EQ(wrapped->itemRect.right, 170);
  wrapped->FitHeight();
  EXPECT_EQ(wrapped->itemRect.bottom, 50 + Measure(wrapped->caption, 400, true, wrapped->textFormat, 170).cy);
}

TEST_F(ItemTest, ThreeStateBitmapGivesThreeFramesInOrder) {
  CPopupItem* item = AddItem(popup_, {151, 6, 164, 19});
  ASSERT_TRUE(item->SetIcons(300, RGB(0, 0, 0), 7));
  const drawing::CImageManagerIcon* image = item->GetImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetWidth(), 13);
  EXPECT_EQ(image->GetHeight(), 13);

  const HBITMAP strip = ::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(300));
  ASSERT_NE(strip, nullptr);
  Surface source(39, 13);
  {
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, strip);
    ::BitBlt(source.dc(), 0, 0, 39, 13, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
  }
  ::DeleteObject(strip);

  CPopupItem* const states[3][2] = {{nullptr, nullptr}, {item, nullptr}, {item, item}};
  for (int frame = 0; frame < 3; ++frame) {
    popup_.SetHotItem(states[frame][0]);
    popup_.SetPressedItem(states[frame][1]);
    Paint();
    int compared = 0;
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 13; ++x) {
        const COLORREF expected = source.Pixel(frame * 13 + x, y);
        if (expected == RGB(0, 0, 0)) continue;  // the transparent colour
        EXPECT_EQ(At(151 + x, 6 + y), expected) << frame << " " << x << "," << y;
        ++compared;
      }
    EXPECT_GT(compared, 20) << frame;
  }
}

TEST_F(ItemTest, OneStateBitmapIsUsedWholeAndAMissingOneLeavesATextItem) {
  CPopupItem* level = AddItem(popup_, {50, 74, 121, 90});
  ASSERT_TRUE(level->SetIcons(160, RGB(255, 0, 255), 1));
  ASSERT_NE(level->GetImage(), nullptr);
  EXPECT_EQ(level->GetImage()->GetWidth(), 61);
  EXPECT_EQ(level->GetImage()->GetHeight(), 16);

  CPopupItem* missing = AddItem(popup_, {10, 10, 60, 30}, L"text");
  missing->id = -4;
  missing->isButton = TRUE;
  EXPECT_FALSE(missing->SetIcons(4242, RGB(0, 0, 0), 7));
  EXPECT_EQ(missing->id, -4);
  EXPECT_TRUE(missing->isButton);
  EXPECT_EQ(missing->GetImage(), nullptr);
  test::ScopedCaptionRecorder captions;
  Paint();
  EXPECT_NE(captions.Find(L"text"), nullptr);

  missing->iconId = 77;  // an id with nothing stored: still a text item
  captions.Clear();
  Paint();
  EXPECT_NE(captions.Find(L"text"), nullptr);
}

TEST_F(ItemTest, ReplacedPaintManagerLeavesOwnFontsAlone) {
  CPopupItem* own = AddItem(popup_, {46, 41, 306, 70}, L"own");
  CPopupItem* shared = AddItem(popup_, {46, 80, 306, 100}, L"shared");
  LOGFONTW font{};
  ::GetObjectW(own->GetTextFont(), sizeof(font), &font);
  const LONG expectedHeight = font.lfHeight + (font.lfHeight > 0 ? 1 : -1);
  font.lfHeight = expectedHeight;
  own->SetTextFont(font);
  own->hyperlink = shared->hyperlink = FALSE;
  const HFONT ownHandle = own->GetTextFont();
  for (int theme : {2, 4, 1, 12}) {
    popup_.SetTheme(theme);
    EXPECT_EQ(own->GetTextFont(), ownHandle);
    EXPECT_EQ(shared->GetTextFont(), popup_.GetPaintManager().textFont.get());
    test::ScopedCaptionRecorder captions;
    Paint({329, 128});
    EXPECT_EQ(captions.Find(L"own")->font.lfHeight, expectedHeight) << theme;
  }
}

TEST_F(ItemTest, BadInputPaintsWithoutLeaks) {
  {
    CPopupControl warmUp;  // singletons and strips made on first use are not leaks
    survey::LayoutSurvey(warmUp, L"warm-up", L"");
    warmUp.SetTheme(4);
    Paint();
  }
  const testing::GdiCounts before = testing::GdiCounts::Now();
  {
    CPopupControl popup;
    auto* inverted = AddItem(popup, {50, 50, 10, 10}, L"inverted", RGB(9, 9, 9), RGB(8, 8, 8));
    inverted->textFormat = DT_WORDBREAK | DT_VCENTER;
    inverted->bold = TRUE;
    inverted->FitWidth();
    inverted->FitHeight();
    auto* empty = AddItem(popup, {20, 20, 20, 20}, L"", RGB(9, 9, 9), RGB(8, 8, 8));
    empty->isButton = TRUE;
    empty->CenterIcon();
    AddItem(popup, {0, 0, 0, 0}, nullptr)->SetIcons(160, RGB(255, 0, 255), 0);
    EXPECT_FALSE(AddItem(popup, {0, 0, 0, 0})->SetIcon(nullptr, 1));
    survey::LayoutSurvey(popup, L"", L"");
    popup.AddItem(inverted);  // listed twice: released once per listing
    inverted->InternalAddRef();
    for (int theme = 0; theme < 6; ++theme) {
      popup.SetTheme(theme);
      popup.SetHotItem(popup.GetItem(3));
      popup.SetPressedItem(popup.GetItem(3));
      Surface s(329, 128);
      popup.PaintPopup(s.dc(), {329, 128});
      popup.PaintPopup(s.dc(), {0, 0});
      popup.PaintPopup(s.dc(), {-5, -5});
    }
  }
  EXPECT_EQ(testing::GdiCounts::Now(), before);
}

}  // namespace
}  // namespace zandle::popup
