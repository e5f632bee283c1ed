#include "drawing/themed_button.h"

#include <commctrl.h>

#include "drawing/color_manager.h"
#include "framework/guarded.h"

namespace zandle::drawing {
namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr int kSysColorBtnHighlight = 20;
constexpr int kSysColorDarkShadow = 21;

}  // namespace

void CThemedButtonTheme::RefreshMetrics(HWND button) {
  buttonTheme.OpenThemeData(button, L"BUTTON");
  colors_.RefreshColors();
  faceColor = colors_.GetColor(kSysColorBtnFace);
  textColor = colors_.GetColor(kSysColorBtnText);
  shadowColor = colors_.GetColor(kSysColorBtnShadow);
  highlightColor = colors_.GetColor(kSysColorBtnHighlight);
  borderColor = colors_.GetColor(kSysColorDarkShadow);
  ++refreshCount;
}

CThemedButton::CThemedButton(CColorManager& colors) : theme_(colors) {}

CThemedButton::~CThemedButton() { Unsubclass(); }

bool CThemedButton::SubclassDlgItem(UINT id, HWND dialog) {
  const HWND control = dialog ? ::GetDlgItem(dialog, static_cast<int>(id)) : nullptr;
  if (!control || hwnd()) return false;
  if (!::SetWindowSubclass(control, &CThemedButton::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
    return false;
  Bind(control);
  theme_.RefreshMetrics(control);
  return true;
}

void CThemedButton::SetPushButtonStyle(int style) noexcept {
  style_ = style;
  if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

bool CThemedButton::SendDropDown(HWND window) noexcept {
  const HWND parent = ::GetParent(window);
  if (!parent || !::IsWindowEnabled(window)) return false;
  NMHDR header{window, static_cast<UINT_PTR>(::GetDlgCtrlID(window)), kDropDownNotification};
  ::SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  return true;
}

void CThemedButton::Unsubclass() noexcept {
  if (hwnd()) ::RemoveWindowSubclass(hwnd(), &CThemedButton::SubclassProc, kSubclassId);
  Unbind();
}

LRESULT CALLBACK CThemedButton::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) noexcept {
  auto* button = reinterpret_cast<CThemedButton*>(self);
  if (message == WM_SYSCOLORCHANGE) {
    fw::Guarded(0, [&] {
      button->theme_.RefreshMetrics(window);
      return 0;
    });
    ::InvalidateRect(window, nullptr, TRUE);
  } else if (message == WM_LBUTTONDOWN && button->style_ == kDropDown) {
    // The menu's own loop takes the mouse from here; the press is not the button's.
    if (button->SendDropDown(window)) return 0;
  } else if (message == WM_NCDESTROY) {
    button->Unsubclass();
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace zandle::drawing
