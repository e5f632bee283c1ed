#include "popup_test_support.h"

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

}  // namespace zandle::popup::testing
