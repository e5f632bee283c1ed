// The object behind a window: bound when its window is created (WM_NCCREATE, or
// WM_INITDIALOG for a dialog, or when a control is subclassed) and unbound at
// WM_NCDESTROY, so that nothing reaches the object once its window is gone.
#pragma once

#include <windows.h>

namespace zandle::fw {

class WindowBinding {
 public:
  WindowBinding(const WindowBinding&) = delete;
  WindowBinding& operator=(const WindowBinding&) = delete;

  HWND hwnd() const noexcept { return hwnd_; }

 protected:
  WindowBinding() noexcept = default;
  ~WindowBinding() = default;

  void Bind(HWND window) noexcept { hwnd_ = window; }
  void Unbind() noexcept { hwnd_ = nullptr; }

  // For a procedure that keeps the object in window slot `slot` (GWLP_USERDATA,
  // DWLP_USER): `creating` is the object handed over with the creation message, null
  // for the others. WM_NCDESTROY unbinds the object and still returns it.
  template <typename T>
  static T* BoundTo(HWND window, UINT message, T* creating, int slot) noexcept {
    if (creating) {
      creating->Bind(window);
      ::SetWindowLongPtrW(window, slot, reinterpret_cast<LONG_PTR>(creating));
      return creating;
    }
    T* bound = reinterpret_cast<T*>(::GetWindowLongPtrW(window, slot));
    if (bound && message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(window, slot, 0);
      bound->Unbind();
    }
    return bound;
  }

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace zandle::fw
