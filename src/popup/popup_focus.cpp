// The popup for the keyboard and for screen readers: focus among the items, keys, the
// focus mark, and the accessible object handed out on WM_GETOBJECT.
#include <windows.h>

#include "framework/module.h"
#include "popup/popup_accessible.h"
#include "popup/popup_control.h"

namespace zandle::popup {
namespace {

constexpr UINT kCloseNameString = 170;

Key KeyOf(WPARAM virtualKey) noexcept {
  switch (virtualKey) {
    case VK_TAB: return Key::Tab;
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case VK_HOME: return Key::Home;
    case VK_END: return Key::End;
    case VK_RETURN: return Key::Enter;
    case VK_SPACE: return Key::Space;
    case VK_ESCAPE: return Key::Escape;
    default: return Key::Other;
  }
}

// Screen readers may hold the object, whose code is this module's, past any
// FreeLibrary of the host: once one has asked, the module stays until the process ends.
void PinThisModule() noexcept {
  HMODULE pinned = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinThisModule), &pinned);
}

}  // namespace

FocusKind FocusKindOf(const CPopupItem& item) noexcept {
  if (item.id == kCloseItemId) return FocusKind::Close;
  if (item.isButton) return FocusKind::Button;
  if (item.IsLink()) return FocusKind::Link;
  return FocusKind::None;
}

std::wstring CPopupControl::AccessibleNameOf(const CPopupItem& item) const {
  if (!item.accessibleName.empty()) return item.accessibleName;
  if (FocusKindOf(item) == FocusKind::Close && item.caption.empty()) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(fw::ThisModule(), kCloseNameString, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring(L"Close");
  }
  return item.caption;
}

std::vector<int> CPopupControl::FocusOrder() const {
  std::vector<FocusKind> kinds;
  for (const CPopupItem* item : items_) kinds.push_back(FocusKindOf(*item));
  return popup::FocusOrder(kinds);
}

void CPopupControl::FocusItem(CPopupItem* item) noexcept {
  if (item == focusedItem_) return;
  focusedItem_ = item;
  RedrawControl();
  if (hasFocus_ && item && hwnd()) ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd(), OBJID_CLIENT, item->index + 1);
}

bool CPopupControl::TakeFocus(CPopupItem* item) noexcept {
  if (!hwnd() || !::IsWindow(hwnd())) return false;
  if (hasFocus_) {
    if (item) FocusItem(item);
    return true;
  }
  if (item) focusedItem_ = item;  // before the focus arrives, so that it lands there
  focusAsked_ = true;
  ::SetForegroundWindow(hwnd());
  ::SetFocus(hwnd());
  if (!hasFocus_ && ::GetFocus() == hwnd()) OnSetFocus();  // had it unasked: no new message
  focusAsked_ = false;
  return hasFocus_;
}

void CPopupControl::PressItem(CPopupItem* item) noexcept {
  if (!item || FocusKindOf(*item) == FocusKind::None) return;
  OnItemClick(item);
}

void CPopupControl::OnSetFocus() noexcept {
  // Only the user or a screen reader gives the popup the keyboard. The system may
  // activate it when the window the user worked in closes: that focus holds nothing up.
  if (!focusAsked_) return;
  hasFocus_ = true;
  if (!Run(machine_.SetFocused(true))) return;
  if (!focusedItem_) {
    const std::vector<int> order = FocusOrder();
    if (!order.empty()) focusedItem_ = items_[static_cast<size_t>(order.front())];
  }
  RedrawControl();
  if (hwnd())
    ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd(), OBJID_CLIENT,
                     focusedItem_ ? focusedItem_->index + 1 : CHILDID_SELF);
}

void CPopupControl::OnKillFocus() noexcept {
  if (!hasFocus_) return;
  hasFocus_ = false;
  if (!Run(machine_.SetFocused(false))) return;
  RedrawControl();
}

bool CPopupControl::OnKeyDown(WPARAM virtualKey) noexcept {
  if (!hasFocus_) return false;
  const KeyAction action = ActionForKey(KeyOf(virtualKey), ::GetKeyState(VK_SHIFT) < 0);
  switch (action) {
    case KeyAction::None:
      return false;
    case KeyAction::Press:
      PressItem(focusedItem_);  // may delete this object
      return true;
    case KeyAction::Close:
      Close();  // may delete this object
      return true;
    default: {
      const int current = focusedItem_ ? focusedItem_->index : -1;
      const int next = MoveFocus(FocusOrder(), current, action);
      FocusItem(next < 0 ? nullptr : items_[static_cast<size_t>(next)]);
      return true;
    }
  }
}

void CPopupControl::DrawFocusMark(HDC dc, SIZE size) const noexcept {
  if (!hasFocus_ || !focusedItem_) return;
  const RECT& r = focusedItem_->itemRect;
  const Rect mark = FocusMarkRect({r.left, r.top, r.right, r.bottom}, {0, 0, size.cx, size.cy});
  const COLORREF colour = highContrast_ ? ::GetSysColor(COLOR_WINDOWTEXT) : paintManager_->textColor;
  for (int y = mark.top; y < mark.bottom; ++y)
    for (int x = mark.left; x < mark.right; ++x)
      if (IsFocusMarkDot(mark, x, y)) ::SetPixelV(dc, x, y, colour);
}

LRESULT CPopupControl::OnGetObject(WPARAM wParam, LPARAM lParam) noexcept {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT || !hwnd()) return 0;
  const auto lresultFromObject = drawing::BoundLresultFromObject();
  if (!lresultFromObject) return 0;
  if (!accessible_) *accessible_.put() = new (std::nothrow) PopupAccessible(*this);
  if (!accessible_) return 0;
  PinThisModule();
  return lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(accessible_.get()));
}

void CPopupControl::DisconnectAccessible() noexcept {
  hasFocus_ = false;
  focusedItem_ = nullptr;
  if (!accessible_) return;
  accessible_->Disconnect();
  accessible_.reset();
}

}  // namespace zandle::popup
