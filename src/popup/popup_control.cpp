#include "popup/popup_control.h"

#include <stdexcept>

#include "popup/core/dpi_scale.h"
#include "popup/desktop_settings.h"
#include "popup/popup_themes.h"
#include "popup/system_color_paint.h"

namespace zandle::popup {

CPopupItem* CPopupControl::AddItem(CPopupItem* item) {
  if (!item) return nullptr;
  items_.push_back(item);
  item->index = static_cast<int>(items_.size()) - 1;
  item->owner = this;
  item->OnInserted();
  return item;
}

void CPopupControl::RemoveAllItems() noexcept {
  hotItem_ = pressedItem_ = focusedItem_ = nullptr;
  std::vector<CPopupItem*> items;
  items.swap(items_);
  itemsAt96_.clear();
  for (CPopupItem* item : items) {
    item->owner = nullptr;
    item->InternalRelease();
  }
}

CPopupItem* CPopupControl::GetItem(int index) const {
  if (index < 0 || index >= GetItemCount()) throw std::invalid_argument("popup item index out of range");
  return items_[static_cast<size_t>(index)];
}

CPopupItem* CPopupControl::HitTest(POINT point) const noexcept {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if (::PtInRect(&(*it)->itemRect, point)) return *it;
  return nullptr;
}

void CPopupControl::SetPaintManager(std::unique_ptr<CPopupPaintManager> manager) {
  if (!manager) return;
  paintManager_ = std::move(manager);
  paintManager_->dpi = dpi_;
  paintManager_->RefreshTheme();
  paintManager_->systemColorsOnly = highContrast_;
  RedrawControl();
}

void CPopupControl::SetTheme(int theme) {
  SetTheme(ThemeFromNumber(theme));
  themeIndex_ = theme;
}

void CPopupControl::SetTheme(PopupTheme theme) {
  SetPaintManager(CreatePaintManager(theme));
  themeIndex_ = static_cast<int>(theme);
}

void CPopupControl::ScaleLayout(int dpi) noexcept {
  dpi = UsableDpi(dpi);
  // Items added since the last call came in layout pixels.
  for (size_t i = itemsAt96_.size(); i < items_.size(); ++i) {
    LOGFONTW font{};
    const bool own = items_[i]->HasOwnFont() &&
                     ::GetObjectW(items_[i]->captionFont.get(), sizeof(font), &font) == sizeof(font);
    itemsAt96_.push_back({items_[i]->itemRect, own ? font.lfHeight : 0});
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    CPopupItem& item = *items_[i];
    const RECT& r = itemsAt96_[i].rect;
    const Rect scaled = ScaleRect({r.left, r.top, r.right, r.bottom}, dpi);
    item.itemRect = {scaled.left, scaled.top, scaled.right, scaled.bottom};
    LOGFONTW font{};
    if (item.HasOwnFont() && ::GetObjectW(item.captionFont.get(), sizeof(font), &font) == sizeof(font)) {
      font.lfHeight = ScaleFontHeight(itemsAt96_[i].fontHeight, dpi);
      item.SetTextFont(font);
    }
    item.ScalePictures(dpi);
  }
  dpi_ = dpi;
  paintManager_->dpi = dpi;
  paintManager_->RefreshTheme();
  RedrawControl();
}

void CPopupControl::PaintPopup(HDC dc, SIZE size) noexcept {
  if (highContrast_) DrawSystemColorBackground(dc, RECT{0, 0, size.cx, size.cy});
  else paintManager_->DrawPopupBackground(dc, RECT{0, 0, size.cx, size.cy});
  for (CPopupItem* item : items_) DrawItem(dc, *item);
  DrawFocusMark(dc, size);
}

void CPopupControl::DrawItem(HDC dc, CPopupItem& item) noexcept {
  paintManager_->DrawPopupItem(dc, item, GetItemState(&item));
}

void CPopupControl::CheckHighContrast() noexcept {
  highContrast_ = HighContrastOn();
  paintManager_->systemColorsOnly = highContrast_;
  // No see-through popup in high contrast, and no fading.
  if (highContrast_) machine_.SetTransparency(255);
  Run(machine_.SetOpaque(highContrast_));
}

void CPopupControl::RedrawControl() noexcept {
  if (hwnd() && ::IsWindow(hwnd())) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

}  // namespace zandle::popup
