#include "framework/dialog.h"

#include "framework/guarded.h"

namespace zandle::fw {

Dialog::~Dialog() { DestroyWindow(); }

bool Dialog::CreateModeless(HINSTANCE module, WORD templateId, HWND parent) noexcept {
  if (HasWindow()) return true;
  Unbind();
  const HWND created = ::CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, &Dialog::DialogProc,
                                            reinterpret_cast<LPARAM>(this));
  return created != nullptr;
}

void Dialog::DestroyWindow() noexcept {
  // A window of another thread cannot be destroyed from here; its thread's exit does it.
  if (HasWindow() && ::GetWindowThreadProcessId(hwnd(), nullptr) == ::GetCurrentThreadId()) ::DestroyWindow(hwnd());
  Unbind();
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  Dialog* creating = message == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lParam) : nullptr;
  Dialog* self = BoundTo(hwnd, message, creating, DWLP_USER);
  if (!self || message == WM_NCDESTROY) return FALSE;
  return Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    if (message == WM_INITDIALOG) return self->OnInitDialog();
    return self->OnMessage(message, wParam, lParam);
  });
}

}  // namespace zandle::fw
