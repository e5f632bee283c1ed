#include "survey/layout_items.h"

namespace zandle::survey::layout {

popup::CHyperLinkPopupItem* Add(popup::CPopupControl& popup, RECT rect, const wchar_t* caption, COLORREF background,
                                COLORREF border) {
  auto* item = new popup::CHyperLinkPopupItem(rect, caption, background, border);
  popup.AddItem(item);
  return item;
}

void GiveIcon(popup::CPopupItem& item, UINT id, int size) { item.SetIconResource(id, size); }

void Fit(popup::CPopupItem& item) {
  item.FitHeight();
  item.FitWidth();
}

}  // namespace zandle::survey::layout
