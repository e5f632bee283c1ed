#include "window_test_support.h"

namespace zandle::popup::testing {

NotificationOwner::NotificationOwner() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &NotificationOwner::Proc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ZandlePopupTestOwner";
  ::RegisterClassW(&windowClass);
  hwnd_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                            nullptr, windowClass.hInstance, this);
}

NotificationOwner::~NotificationOwner() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK NotificationOwner::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<NotificationOwner*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && message == PopupNotifyMessage) {
    Notification n{wParam, -1, 0};
    if (wParam == ItemClicked) {
      n.itemId = reinterpret_cast<CPopupItem*>(lParam)->id;
    } else {
      n.state = reinterpret_cast<CPopupControl*>(lParam)->GetPopupState();
    }
    self->received.push_back(n);
    if (self->onNotify) self->onNotify(wParam, lParam);
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

RECT WindowRect(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return r;
}

int LayeredAlpha(HWND window) {
  BYTE alpha = 255;
  DWORD flags = 0;
  if (!(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED)) return 255;
  if (!::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return 255;
  return alpha;
}

}  // namespace zandle::popup::testing
