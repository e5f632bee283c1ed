#include "popup/popup_window_class.h"

#include "framework/module.h"

namespace zandle::popup {
namespace {

constexpr wchar_t kClassName[] = L"ZandlePopupWindow";

class Registration {
 public:
  ~Registration() { Release(); }

  ATOM Get(WNDPROC procedure) noexcept {
    if (atom_) return atom_;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = fw::ThisModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.hIcon = nullptr;
    windowClass.lpszClassName = kClassName;
    atom_ = ::RegisterClassExW(&windowClass);
    return atom_;
  }

  void Release() noexcept {
    if (!atom_) return;
    // Popups are owned (not child) windows, so they are listed as the thread's own.
    ::EnumThreadWindows(::GetCurrentThreadId(), &Registration::DestroyIfPopup, static_cast<LPARAM>(atom_));
    // Fails while another thread still has a popup up; the class then stays registered.
    if (::UnregisterClassW(MAKEINTATOM(atom_), fw::ThisModule())) atom_ = 0;
  }

 private:
  static BOOL CALLBACK DestroyIfPopup(HWND window, LPARAM atom) noexcept {
    // Same-named classes of other modules share the atom: the module tells them apart.
    if (::GetClassLongPtrW(window, GCW_ATOM) == static_cast<ULONG_PTR>(atom) &&
        ::GetClassLongPtrW(window, GCLP_HMODULE) == reinterpret_cast<ULONG_PTR>(fw::ThisModule()))
      ::DestroyWindow(window);
    return TRUE;
  }

  ATOM atom_ = 0;
};

Registration& TheRegistration() noexcept {
  static Registration registration;
  return registration;
}

}  // namespace

ATOM PopupWindowClass(WNDPROC procedure) noexcept { return TheRegistration().Get(procedure); }

void ReleasePopupWindowClass() noexcept { TheRegistration().Release(); }

}  // namespace zandle::popup
