// Handle kinds of GDI, the window manager's icons, image lists and visual-style data.
// Each kind has its own live count, so leak checks can tell bitmaps from brushes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/unique_handle.h"

namespace zandle::fw {

template <typename T>
struct GdiObjectTraits {
  using Type = T;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DeleteObject(h); }
};
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueRegion = UniqueHandle<GdiObjectTraits<HRGN>>;

// Device contexts made by CreateCompatibleDC or CreateDC.
struct MemoryDCTraits {
  using Type = HDC;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DeleteDC(h); }
};
using UniqueMemoryDC = UniqueHandle<MemoryDCTraits>;

// A GetDC result must go back to ReleaseDC with the window it came from.
struct WindowDCValue {
  HWND window = nullptr;
  HDC dc = nullptr;
  bool operator==(const WindowDCValue&) const = default;
};
struct WindowDCTraits {
  using Type = WindowDCValue;
  static Type Invalid() noexcept { return {}; }
  static void Close(Type h) noexcept { ::ReleaseDC(h.window, h.dc); }
};
using UniqueWindowDC = UniqueHandle<WindowDCTraits>;

// GetDC(window); a null window gives the screen's device context.
inline UniqueWindowDC GetWindowDC(HWND window) noexcept {
  const HDC dc = ::GetDC(window);
  return dc ? UniqueWindowDC(WindowDCValue{window, dc}) : UniqueWindowDC();
}

struct IconTraits {
  using Type = HICON;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueHandle<IconTraits>;

struct ImageListTraits {
  using Type = HIMAGELIST;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::ImageList_Destroy(h); }
};
using UniqueImageList = UniqueHandle<ImageListTraits>;

// Visual-style data is closed through the entry point that the caller bound at run time
// (UXTHEME.DLL may be absent); `Binding::Close(handle)` supplies it.
template <typename Binding>
struct ThemeHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { Binding::Close(h); }
};

// Selects an object into a device context and puts the previous one back.
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
