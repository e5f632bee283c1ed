#include "survey/survey_layout.h"

#include <windows.h>

#include "survey/layout_items.h"
#include "survey/survey_items.h"

namespace zandle::survey {
namespace {

using layout::Add;
using popup::CHyperLinkPopupItem;

constexpr UINT kCentredLine = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
constexpr COLORREF kLinkColor = RGB(32, 32, 255);
constexpr UINT kFirstLevelBitmap = 160;
constexpr UINT kCloseIcon = 156;
constexpr int kCloseIconSize = 16;

// Two ideographic spaces open the first line.
constexpr wchar_t kRequest[] =
    L"\u3000\u3000\u4e3a\u4e86\u4fc3\u8fdb\u6211\u4eec\u5bf9\u5de5\u5177\u7cfb\u7edf\u7684\u5f00\u53d1\u548c\u5b8c"
    L"\u5584\n\u66f4\u597d\u5730\u4e3a\u60a8\u670d\u52a1\uff0c\u8bf7\u70b9\u51fb\u4e0b\u9762\u7684\u9009\u9879\uff1a";
// The levels' names, as their pictures write them: 满意, 一般, 不满意.
constexpr const wchar_t* kLevelNames[] = {L"\u6ee1\u610f", L"\u4e00\u822c", L"\u4e0d\u6ee1\u610f"};
constexpr wchar_t kMoreInformation[] = L"[\u66f4\u591a\u4fe1\u606f\u2026\u2026]";

}  // namespace

std::wstring SurveyTitle(std::wstring_view modelName, std::wstring_view functionName) {
  std::wstring title(modelName);
  title += L'-';
  title += functionName;
  return title;
}

void LayoutSurvey(popup::CPopupControl& popup, const std::wstring& title, const std::wstring& link, bool office2007) {
  popup.RemoveAllItems();
  popup.SetTitle(title);

  CHyperLinkPopupItem* heading = Add(popup, {46, 12, 309, 38}, title.c_str());
  heading->bold = TRUE;
  heading->hyperlink = FALSE;
  heading->textFormat = kCentredLine;

  // One unit larger than the initial theme's font, whichever sign its height has.
  CHyperLinkPopupItem* request = Add(popup, {46, 41, 306, 70}, kRequest);
  request->hyperlink = FALSE;
  LOGFONTW font{};
  if (::GetObjectW(request->GetTextFont(), sizeof(font), &font) == sizeof(font)) {
    font.lfHeight += font.lfHeight > 0 ? 1 : -1;
    request->SetTextFont(font);
  }

  CHyperLinkPopupItem* more = Add(popup, {226, 105, 309, 129}, kMoreInformation);
  more->id = ItemId(SurveyItem::Link);
  more->captionColor = kLinkColor;
  more->linkAddress = link;

  for (int n = 0; n < kSurveyLevels; ++n) {
    const LONG right = 121 + 85 * n;
    CHyperLinkPopupItem* level = Add(popup, {right - 71, 74, right, 90});
    level->SetIcons(kFirstLevelBitmap + n, layout::kMagentaMask, layout::kNormalState);
    level->id = ItemId(kLevelItems[n]);
    level->isButton = TRUE;
    level->accessibleName = kLevelNames[n];
  }

  CHyperLinkPopupItem* close = Add(popup, {308, 14, 324, 30});
  layout::GiveIcon(*close, kCloseIcon, kCloseIconSize);
  close->id = ItemId(SurveyItem::Close);
  close->isButton = TRUE;

  popup.SetTheme(popup::PopupTheme::Office2003);
  popup.RedrawControl();
  if (office2007) {
    popup.SetTheme(popup::PopupTheme::Office2007);
    popup.RedrawControl();
  }
}

}  // namespace zandle::survey
