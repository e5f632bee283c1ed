#include "survey/layout_items.h"

#include "framework/gdi_handles.h"
#include "framework/module.h"

namespace zandle::survey::layout {

popup::CHyperLinkPopupItem* Add(popup::CPopupControl& popup, RECT rect, const wchar_t* caption, COLORREF background,
                                COLORREF border) {
  auto* item = new popup::CHyperLinkPopupItem(rect, caption, background, border);
  popup.AddItem(item);
  return item;
}

void GiveIcon(popup::CPopupItem& item, UINT id, int size) {
  const fw::UniqueIcon icon(
      static_cast<HICON>(::LoadImageW(fw::ThisModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
  item.SetIcon(icon.get(), kNormalState);
}

void Fit(popup::CPopupItem& item) {
  item.FitHeight();
  item.FitWidth();
}

}  // namespace zandle::survey::layout
