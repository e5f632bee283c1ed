#include "popup_test_support.h"

#include "framework/module.h"

namespace zandle::popup::testing {

KnownColors::KnownColors() {
  for (COLORREF& c : colors) c = RGB(99, 99, 99);
  colors[COLOR_BTNFACE] = kFace;
  colors[COLOR_BTNSHADOW] = kShadow;
  colors[COLOR_BTNHIGHLIGHT] = kHighlightEdge;
  colors[COLOR_BTNTEXT] = kButtonText;
  colors[COLOR_WINDOW] = kWindow;
  colors[COLOR_HIGHLIGHT] = kSelection;
}

bool KnownColors::CurrentThemeName(std::wstring& file, std::wstring& color) const {
  file = themeFile;
  color = themeColor;
  return !themeFile.empty();
}

void KnownColors::UseLunaScheme(const wchar_t* colorName) {
  themeFile = L"C:\\WINDOWS\\Resources\\Themes\\Luna\\Luna.msstyles";
  themeColor = colorName;
}

CHyperLinkPopupItem* AddItem(CPopupControl& popup, RECT rect, const wchar_t* caption, COLORREF background,
                             COLORREF border) {
  auto* item = new CHyperLinkPopupItem(rect, caption, background, border);
  popup.AddItem(item);
  return item;
}

void AddSurveyItems(CPopupControl& popup, const std::wstring& title) {
  popup.RemoveAllItems();
  CHyperLinkPopupItem* heading = AddItem(popup, {46, 12, 309, 38}, title.c_str());
  heading->bold = TRUE;
  heading->hyperlink = FALSE;
  heading->textFormat = 0x25;

  CHyperLinkPopupItem* request = AddItem(
      popup, {46, 41, 306, 70},
      L"\u3000\u3000\u4e3a\u4e86\u4fc3\u8fdb\u6211\u4eec\u5bf9\u5de5\u5177\u7cfb\u7edf\u7684\u5f00\u53d1\u548c\u5b8c"
      L"\u5584\n\u66f4\u597d\u5730\u4e3a\u60a8\u670d\u52a1\uff0c\u8bf7\u70b9\u51fb\u4e0b\u9762\u7684\u9009\u9879\uff1a");
  request->hyperlink = FALSE;
  LOGFONTW font{};
  ::GetObjectW(request->GetTextFont(), sizeof(font), &font);
  font.lfHeight += font.lfHeight > 0 ? 1 : -1;
  request->SetTextFont(font);

  CHyperLinkPopupItem* more = AddItem(popup, {226, 105, 309, 129}, L"[\u66f4\u591a\u4fe1\u606f\u2026\u2026]");
  more->id = -2;
  more->captionColor = RGB(32, 32, 255);
  more->linkAddress = L"https://example.com/survey";

  for (int n = 0; n < 3; ++n) {
    const LONG right = 121 + 85 * n;
    CHyperLinkPopupItem* level = AddItem(popup, {right - 71, 74, right, 90});
    level->SetIcons(160 + n, RGB(255, 0, 255), 1);
    level->id = -3 - n;
    level->isButton = TRUE;
  }

  CHyperLinkPopupItem* close = AddItem(popup, {308, 14, 324, 30});
  const HICON icon = static_cast<HICON>(::LoadImageW(fw::ThisModule(), MAKEINTRESOURCEW(156), IMAGE_ICON, 16, 16, 0));
  close->SetIcon(icon, 1);
  if (icon) ::DestroyIcon(icon);
  close->id = -1;
  close->isButton = TRUE;
  popup.SetTheme(2);
}

}  // namespace zandle::popup::testing
