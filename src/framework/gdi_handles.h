// Handle kinds of GDI, the window manager's icons and image lists, and the one
// select-object scope. Each kind has its own live count, so leak checks can tell
// bitmaps from brushes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/unique_handle.h"

namespace zandle::fw {

using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &::DeleteObject>;
using UniquePen = UniqueHandle<HPEN, &::DeleteObject>;
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueRegion = UniqueHandle<HRGN, &::DeleteObject>;
// Device contexts made by CreateCompatibleDC or CreateDC.
using UniqueMemoryDC = UniqueHandle<HDC, &::DeleteDC>;
using UniqueIcon = UniqueHandle<HICON, &::DestroyIcon>;
using UniqueImageList = UniqueHandle<HIMAGELIST, &::ImageList_Destroy>;

// A GetDC result must go back to ReleaseDC with the window it came from.
struct WindowDCValue {
  HWND window = nullptr;
  HDC dc = nullptr;
  bool operator==(const WindowDCValue&) const = default;
};
inline void ReleaseWindowDC(WindowDCValue value) noexcept { ::ReleaseDC(value.window, value.dc); }
using UniqueWindowDC = UniqueHandle<WindowDCValue, &ReleaseWindowDC>;

// GetDC(window); a null window gives the screen's device context.
inline UniqueWindowDC GetWindowDC(HWND window) noexcept {
  const HDC dc = ::GetDC(window);
  return dc ? UniqueWindowDC(WindowDCValue{window, dc}) : UniqueWindowDC();
}

// Selects an object into a device context and puts the previous one back. Declare it
// after the owner of the object: a selected object is not deleted.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(dc && object ? ::SelectObject(dc, object) : nullptr) {
    if (previous_ == HGDI_ERROR) previous_ = nullptr;
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  bool selected() const noexcept { return previous_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace zandle::fw
