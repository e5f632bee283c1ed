// Modeless dialog base: binds the object at WM_INITDIALOG and hands each message to
// one handler. Derived classes override the handlers they need.
#pragma once

#include <windows.h>

#include "framework/window_binding.h"

namespace zandle::fw {

class Dialog : public WindowBinding {
 public:
  Dialog() = default;
  virtual ~Dialog();

  // Creates the window from a dialog template of `module`; false when that fails.
  bool CreateModeless(HINSTANCE module, WORD templateId, HWND parent) noexcept;
  bool HasWindow() const noexcept { return hwnd() != nullptr && ::IsWindow(hwnd()); }
  void DestroyWindow() noexcept;

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // Messages without a handler of their own; return FALSE for default handling.
  virtual INT_PTR OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
};

}  // namespace zandle::fw
