// Counting popup windows when tests share one display with other programs' popups.
#pragma once

#include <windows.h>

namespace zandle::popup::testing {

inline constexpr wchar_t kPopupWindowClass[] = L"ZandlePopupWindow";

// Popup windows of this process, over the whole desktop.
inline int PopupWindowsOfThisProcess() {
  int count = 0;
  for (HWND w = ::FindWindowExW(nullptr, nullptr, kPopupWindowClass, nullptr); w;
       w = ::FindWindowExW(nullptr, w, kPopupWindowClass, nullptr)) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(w, &process);
    if (process == ::GetCurrentProcessId()) ++count;
  }
  return count;
}

}  // namespace zandle::popup::testing
