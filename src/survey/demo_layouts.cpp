#include "survey/demo_layouts.h"

#include <memory>

#include "popup/popup_paint_manager.h"
#include "survey/layout_items.h"
#include "survey/survey_items.h"
#include "survey/survey_layout.h"

namespace zandle::survey {
namespace {

using layout::Add;
using layout::Fit;
using layout::GiveIcon;
using layout::kAllStates;
using layout::kBlackMask;
using layout::kNormalState;

constexpr COLORREF kNone = drawing::kNoColor;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr UINT kLeftLine = DT_SINGLELINE | DT_VCENTER;
constexpr UINT kCentredLine = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
constexpr UINT kWrappedCentred = DT_WORDBREAK | DT_CENTER;
constexpr wchar_t kProductText[] =
    L"Please visit our website for additional product information including registration details.";

// The plain manager: these layouts colour their own panels.
void UsePlainManager(popup::CPopupControl& popup) {
  popup.SetPaintManager(std::make_unique<popup::CPopupPaintManager>());
  popup.RedrawControl();
}

void CloseButton(popup::CPopupControl& popup, RECT rect, UINT bitmap) {
  popup::CHyperLinkPopupItem* close = Add(popup, rect);
  close->SetIcons(bitmap, kBlackMask, kAllStates);
  close->id = ItemId(SurveyItem::Close);
}

struct CustomColors {
  COLORREF frame, frameBorder, panel, panelBorder, more, body;
};

constexpr CustomColors kCustomColors[] = {
    {RGB(50, 50, 255), RGB(255, 255, 255), RGB(70, 70, 250), RGB(200, 200, 200), kNone, RGB(255, 255, 255)},
    {RGB(10, 10, 10), RGB(255, 255, 255), RGB(70, 70, 70), RGB(200, 200, 200), RGB(150, 150, 150),
     RGB(255, 255, 255)},
    {RGB(30, 120, 30), RGB(255, 255, 0), RGB(70, 130, 70), RGB(255, 255, 0), kNone, RGB(255, 255, 0)},
    {RGB(255, 50, 50), RGB(255, 255, 0), RGB(230, 70, 70), RGB(255, 255, 0), kNone, RGB(255, 255, 0)},
};
constexpr int kFirstCustomLayout = 5;

}  // namespace

SIZE LayoutSize(int index) noexcept {
  if (index == kSurveyLayout || index == kSurvey2007Layout) return {kSurveyWidth, kSurveyHeight};
  if (index == 9) return {220, 90};
  return {170, 130};
}

void BuildLayout(popup::CPopupControl& popup, int index, const std::wstring& title, const std::wstring& link) {
  switch (index) {
    case 0: LayoutWordTheme(popup, false); break;
    case 1: LayoutWordTheme(popup, true); break;
    case kSurveyLayout: LayoutSurvey(popup, title, link); break;
    case 3: LayoutProductInformation(popup); break;
    case kSurvey2007Layout: LayoutSurvey(popup, title, link, true); break;
    case 5:
    case 6:
    case 7:
    case 8: LayoutCustomColors(popup, index); break;
    case 9: LayoutTooltip(popup); break;
    default: break;
  }
}

void LayoutWordTheme(popup::CPopupControl& popup, bool officeXP) {
  popup.RemoveAllItems();
  popup::CHyperLinkPopupItem* caption = Add(popup, {25, 5, 170, 19}, officeXP ? L"Word XP Theme" : L"Word 2000 Theme");
  caption->textFormat = 0;
  caption->hyperlink = FALSE;
  caption->captionColor = kWhite;
  Fit(*caption);
  GiveIcon(*Add(popup, {4, 4, 20, 19}), 140, 16);
  Add(popup, {14, 40, 20, 49})->SetIcons(145, kBlackMask, kNormalState);
  for (const auto& [rect, icon] : {std::pair<RECT, UINT>{{109, 55, 132, 78}, 144}, {{133, 55, 156, 78}, 143}}) {
    popup::CHyperLinkPopupItem* button = Add(popup, rect);
    GiveIcon(*button, icon, 16);
    button->CenterIcon();
    button->isButton = TRUE;
  }
  CloseButton(popup, {151, 6, 164, 19}, 141);
  Add(popup, {104, 30, 170, 45}, L"Parameters");
  popup::CHyperLinkPopupItem* ok = Add(popup, {65, 90, 105, 110}, L"OK");
  ok->isButton = TRUE;
  ok->textFormat = kCentredLine;
  ok->hyperlink = FALSE;
  ok->id = 1;
  popup.SetTheme(officeXP ? popup::PopupTheme::OfficeXP : popup::PopupTheme::Office2000);
  popup.RedrawControl();
}

void LayoutProductInformation(popup::CPopupControl& popup) {
  popup.RemoveAllItems();
  popup::CHyperLinkPopupItem* name = Add(popup, {25, 6, 170, 19}, L"ZandleDemo");
  name->hyperlink = FALSE;
  Fit(*name);
  popup::CHyperLinkPopupItem* options = Add(popup, {104, 27, 160, 45}, L"Options");
  options->textFormat = DT_RIGHT;
  Fit(*options);
  popup::CHyperLinkPopupItem* text = Add(popup, {0, 50, 170, 100}, kProductText);
  text->textFormat = kWrappedCentred;
  text->FitHeight();
  text->id = ItemId(SurveyItem::Link);
  CloseButton(popup, {151, 6, 164, 19}, 300);
  Add(popup, {7, 6, 20, 19})->SetIcons(150, kBlackMask, kNormalState);
  Add(popup, {115, 102, 160, 120})->SetIcons(147, kBlackMask, kNormalState);
  popup.SetTheme(popup::PopupTheme::MSN);
  popup.RedrawControl();
}

void LayoutCustomColors(popup::CPopupControl& popup, int index) {
  if (index < kFirstCustomLayout || index >= kFirstCustomLayout + static_cast<int>(std::size(kCustomColors))) return;
  const CustomColors& colors = kCustomColors[index - kFirstCustomLayout];
  popup.RemoveAllItems();
  Add(popup, {0, 0, 170, 130}, nullptr, colors.frame, colors.frameBorder);
  Add(popup, {5, 25, 165, 125}, nullptr, colors.panel, colors.panelBorder);
  Add(popup, {104, 27, 170, 45}, L"more...")->captionColor = colors.more;
  popup::CHyperLinkPopupItem* text = Add(popup, {0, 70, 170, 100}, kProductText);
  text->textFormat = kWrappedCentred;
  text->captionColor = colors.body;
  text->FitHeight();
  text->id = ItemId(SurveyItem::Link);
  GiveIcon(*Add(popup, {12, 30, 12, 47}), 155, 32);
  popup::CHyperLinkPopupItem* heading = Add(popup, {5, 0, 170, 25}, L"Message for You");
  heading->textFormat = kLeftLine;
  heading->captionColor = kWhite;
  heading->bold = TRUE;
  heading->hyperlink = FALSE;
  CloseButton(popup, {151, 6, 164, 19}, 300);
  UsePlainManager(popup);
}

void LayoutTooltip(popup::CPopupControl& popup) {
  popup.RemoveAllItems();
  Add(popup, {0, 0, 220, 90}, nullptr, RGB(255, 255, 225), RGB(0, 0, 0));
  popup::CHyperLinkPopupItem* text = Add(popup, {20, 30, 200, 100}, kProductText);
  text->textFormat = kWrappedCentred;
  text->id = ItemId(SurveyItem::Link);
  popup::CHyperLinkPopupItem* heading = Add(popup, {5, 0, 170, 25}, L"Product information");
  heading->textFormat = kLeftLine;
  heading->bold = TRUE;
  heading->hyperlink = FALSE;
  CloseButton(popup, {200, 2, 218, 20}, 301);
  UsePlainManager(popup);
}

}  // namespace zandle::survey
