// The popup: an ordered list of items, the hot and pressed item, the paint manager
// and the image manager its items share.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "drawing/image_manager.h"
#include "framework/ref_counted.h"
#include "popup/popup_paint_manager.h"

namespace zandle::popup {

class CPopupItem;

class CPopupControl {
 public:
  CPopupControl();
  CPopupControl(const CPopupControl&) = delete;
  CPopupControl& operator=(const CPopupControl&) = delete;
  virtual ~CPopupControl();

  // Takes over the reference the item was born with; returns the item.
  CPopupItem* AddItem(CPopupItem* item);
  void RemoveAllItems() noexcept;
  int GetItemCount() const noexcept { return static_cast<int>(items_.size()); }
  // Throws std::invalid_argument for an index outside 0..count-1.
  CPopupItem* GetItem(int index) const;
  // The last item (drawn on top) whose rectangle holds `point`, else null.
  CPopupItem* HitTest(POINT point) const noexcept;

  CPopupItem* GetHotItem() const noexcept { return hotItem_; }
  CPopupItem* GetPressedItem() const noexcept { return pressedItem_; }
  void SetHotItem(CPopupItem* item) noexcept { hotItem_ = item; }
  void SetPressedItem(CPopupItem* item) noexcept { pressedItem_ = item; }

  // Takes ownership, refreshes and redraws; a null manager leaves the current one.
  void SetPaintManager(std::unique_ptr<CPopupPaintManager> manager) noexcept;
  CPopupPaintManager& GetPaintManager() const noexcept { return *paintManager_; }
  void SetTheme(int theme) noexcept;
  int GetTheme() const noexcept { return themeIndex_; }

  drawing::CImageManager& GetImageManager() const noexcept { return *imageManager_.get(); }

  // Background, then every item in order, into `dc` at (0, 0).
  void PaintPopup(HDC dc, SIZE size) noexcept;
  // Invalidates the window without erasing, when there is one.
  void RedrawControl() noexcept;
  HWND GetSafeHwnd() const noexcept { return hwnd_; }

 protected:
  HWND hwnd_ = nullptr;

 private:
  std::unique_ptr<CPopupPaintManager> paintManager_;
  std::vector<CPopupItem*> items_;
  CPopupItem* hotItem_ = nullptr;
  CPopupItem* pressedItem_ = nullptr;
  int themeIndex_ = 0;
  fw::RefHolder<drawing::CImageManager> imageManager_;
};

}  // namespace zandle::popup
