#include "framework/dialog.h"

namespace zandle::fw {

Dialog::~Dialog() { DestroyWindow(); }

bool Dialog::CreateModeless(HINSTANCE module, WORD templateId, HWND parent) noexcept {
  if (HasWindow()) return true;
  hwnd_ = nullptr;
  const HWND created = ::CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, &Dialog::DialogProc,
                                            reinterpret_cast<LPARAM>(this));
  return created != nullptr;
}

void Dialog::DestroyWindow() noexcept {
  // A window of another thread cannot be destroyed from here; its thread's exit does it.
  if (HasWindow() && ::GetWindowThreadProcessId(hwnd_, nullptr) == ::GetCurrentThreadId()) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;

  switch (message) {
    case WM_INITDIALOG:
      return self->OnInitDialog();
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->hwnd_ = nullptr;
      return FALSE;
    default:
      return self->OnMessage(message, wParam, lParam);
  }
}

}  // namespace zandle::fw
