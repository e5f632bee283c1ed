// The popup: a borderless topmost tool window that animates in beside the taskbar,
// stays for its show delay and animates out; it holds the items, the hot and pressed
// item, the paint manager and the image manager its items share, and reports clicks,
// state changes and moves to its owner window.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "drawing/entry_points.h"
#include "drawing/image_manager.h"
#include "drawing/offscreen_buffer.h"
#include "framework/com.h"
#include "framework/ref_counted.h"
#include "framework/window_binding.h"
#include "popup/core/popup_machine.h"
#include "popup/popup_item.h"
#include "popup/popup_paint_manager.h"
#include "popup/popup_screen.h"

namespace zandle::popup {

class PopupAccessible;

// Sent to the owner with SendMessage: wParam = code, lParam = item or popup.
inline constexpr UINT PopupNotifyMessage = 0x274D;
enum PopupNotifyCode : WPARAM { ItemClicked = 1, StateChanged = 2, PositionChanged = 3 };

class CPopupControl : public fw::WindowBinding, public CPopupItemHost {
 public:
  CPopupControl();
  CPopupControl(const CPopupControl&) = delete;
  CPopupControl& operator=(const CPopupControl&) = delete;
  // Closes the window without notifying: the owner is the one destroying it.
  virtual ~CPopupControl();

  // The window, created hidden; true when it exists.
  virtual BOOL Create(HWND parent) noexcept;
  BOOL Show(HWND parent) noexcept;
  // Destroys the window, then reports the closed state; false without a window.
  BOOL Close() noexcept;
  virtual void OnItemClick(CPopupItem* item) noexcept;
  virtual void BeginExpanding(BOOL restart) noexcept;
  virtual void BeginCollapsing() noexcept;
  virtual void BeginShowing() noexcept;
  virtual void Notify(WPARAM code, LPARAM data) noexcept;
  BOOL SetLayeredAlpha(int alpha) noexcept;
  POINT GetAnchorPoint() noexcept;

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
  void SetPaintManager(std::unique_ptr<CPopupPaintManager> manager);
  CPopupPaintManager& GetPaintManager() const noexcept { return *paintManager_; }
  // A host's theme number: 0 to 4 name themes, any other is the plain manager.
  void SetTheme(int theme);
  void SetTheme(PopupTheme theme);
  // The theme number as last set.
  int GetTheme() const noexcept { return themeIndex_; }
  drawing::CImageManager& GetImageManager() const noexcept override { return *imageManager_.get(); }
  HFONT GetDefaultTextFont() const noexcept override { return paintManager_->textFont.get(); }
  ItemState GetItemState(const CPopupItem* item) const noexcept override {
    return {item && item == hotItem_, item && item == pressedItem_};
  }
  void DrawItem(HDC dc, CPopupItem& item) noexcept override;

  // Background, then every item in order, into `dc` at (0, 0).
  void PaintPopup(HDC dc, SIZE size) noexcept;
  // Invalidates the window without erasing, when there is one.
  void RedrawControl() noexcept override;
  HWND GetSafeHwnd() const noexcept { return hwnd(); }

  // Settings; they take effect at the next Show (transparency and the animation kind
  // also decide the window's layered style at creation).
  void SetAnimation(AnimationKind kind) noexcept { machine_.SetAnimationKind(kind); }
  // A host's number, kept as it is: one outside 0..3 animates without visible change.
  void SetAnimation(int kind) noexcept { SetAnimation(static_cast<AnimationKind>(kind)); }
  void SetShowDelay(unsigned ms) noexcept { machine_.SetShowDelay(ms); }
  void SetAnimationDelay(unsigned ms) noexcept { machine_.SetAnimationDelay(ms); }
  void SetStepInterval(unsigned ms) noexcept { machine_.SetStepInterval(ms); }
  void SetTransparency(int alpha) noexcept { machine_.SetTransparency(alpha); }
  void SetPopupSize(SIZE size) noexcept { machine_.SetPopupSize({size.cx, size.cy}); }
  void SetPopupPos(POINT pos) noexcept { machine_.SetPopupPos({pos.x, pos.y}); }
  void AllowMove(BOOL allow) noexcept { allowMove_ = allow; }
  // Lays the items out for `dpi`: their rectangles and own fonts as given at 96 DPI
  // (kept from the first call on) scaled edge by edge, their resource pictures as drawn
  // for it, and the theme's fonts made for it. The popup's size is the host's to scale.
  void ScaleLayout(int dpi) noexcept;
  int GetDpi() const noexcept { return dpi_; }

  int GetPopupState() const noexcept { return static_cast<int>(machine_.popupState()); }
  SIZE GetPopupSize() const noexcept { return {machine_.popupSize().cx, machine_.popupSize().cy}; }
  POINT GetPopupPos() const noexcept { return {machine_.popupPos().x, machine_.popupPos().y}; }
  int GetTransparency() const noexcept { return machine_.transparency(); }
  BOOL IsMoveAllowed() const noexcept { return allowMove_; }
  BOOL IsHovered() const noexcept { return machine_.hovered(); }
  // Painting in system colours only: high contrast was on when last checked.
  bool IsHighContrast() const noexcept { return highContrast_; }
  const PopupMachine& GetMachine() const noexcept { return machine_; }
  HWND GetNotifyWindow() const noexcept { return notifyWindow_; }

  // Keyboard and screen readers. The title names the popup; the focused item is the
  // one Enter or Space presses while the window has the keyboard focus.
  void SetTitle(std::wstring title) { title_ = std::move(title); }
  const std::wstring& GetTitle() const noexcept { return title_; }
  std::wstring AccessibleNameOf(const CPopupItem& item) const;
  CPopupItem* GetFocusedItem() const noexcept { return focusedItem_; }
  bool HasKeyboardFocus() const noexcept { return hasFocus_; }
  // Activates the window and gives it the focus, on `item` when given; true when it has it.
  bool TakeFocus(CPopupItem* item) noexcept;
  // Exactly what a click on `item` does; the owner may delete the popup inside.
  void PressItem(CPopupItem* item) noexcept;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint() noexcept;
  void OnLButtonDown(POINT point) noexcept;
  void OnLButtonUp(POINT point) noexcept;
  void OnCaptureChanged() noexcept;
  void OnMouseMove(POINT point) noexcept;
  void OnTimer(UINT_PTR id) noexcept;
  void OnDesktopSettingsChanged() noexcept;
  LRESULT OnGetObject(WPARAM wParam, LPARAM lParam) noexcept;
  void OnSetFocus() noexcept;
  void OnKillFocus() noexcept;
  // False when the key is not the popup's.
  bool OnKeyDown(WPARAM virtualKey) noexcept;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  // Carries out the machine's effects in order; false once this object is gone.
  bool Run(const Effects& effects) noexcept;
  void ApplyFrame(const Effect& effect) noexcept;
  void TrackMouseLeave() noexcept;
  void SetPopupStateClosed() noexcept;
  // The drag loop; false when the popup was destroyed during it.
  bool DragLoop() noexcept;
  // Reads the high-contrast mode and follows it: paint and transparency.
  void CheckHighContrast() noexcept;
  void FocusItem(CPopupItem* item) noexcept;
  std::vector<int> FocusOrder() const;
  void DrawFocusMark(HDC dc, SIZE size) const noexcept;
  // Screen readers' objects lose their popup with its window.
  void DisconnectAccessible() noexcept;

  HWND notifyWindow_ = nullptr;
  std::unique_ptr<CPopupPaintManager> paintManager_;
  std::vector<CPopupItem*> items_;
  CPopupItem* hotItem_ = nullptr;
  CPopupItem* pressedItem_ = nullptr;
  int themeIndex_ = 0;
  BOOL allowMove_ = FALSE;
  PopupScreen screen_;
  PopupMachine machine_{screen_};
  fw::RefHolder<drawing::CImageManager> imageManager_;
  drawing::SetLayeredWindowAttributesFn setLayeredAttributes_;
  drawing::COffscreenBuffer buffer_;
  bool destroying_ = false;
  bool highContrast_ = false;
  std::wstring title_;
  CPopupItem* focusedItem_ = nullptr;
  bool hasFocus_ = false;
  bool focusAsked_ = false;
  fw::ComPtr<PopupAccessible> accessible_;
  // Each item as the layout gave it, at 96 DPI; index for index with items_.
  struct ItemAt96 {
    RECT rect;
    LONG fontHeight;
  };
  std::vector<ItemAt96> itemsAt96_;
  int dpi_ = 96;
  void OnDpiChanged(int dpi, const RECT& suggested) noexcept;
  // Expires with the object: code that sent a notification checks it before going on.
  std::shared_ptr<char> life_ = std::make_shared<char>();
};

}  // namespace zandle::popup
