// Modeless dialog base: binds the object at WM_INITDIALOG and hands each message to
// one handler. Derived classes override the handlers they need.
#pragma once

#include <windows.h>

namespace zandle::fw {

class Dialog {
 public:
  Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog();

  // Creates the window from a dialog template of `module`; false when that fails.
  bool CreateModeless(HINSTANCE module, WORD templateId, HWND parent) noexcept;
  HWND hwnd() const noexcept { return hwnd_; }
  bool HasWindow() const noexcept { return hwnd_ != nullptr && ::IsWindow(hwnd_); }
  void DestroyWindow() noexcept;

 protected:
  virtual BOOL OnInitDialog() noexcept { return TRUE; }
  // Messages without a handler of their own; return FALSE for default handling.
  virtual INT_PTR OnMessage(UINT, WPARAM, LPARAM) noexcept { return FALSE; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  HWND hwnd_ = nullptr;
};

}  // namespace zandle::fw
