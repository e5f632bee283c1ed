// Visual-style data of one window class, through UXTHEME.DLL bound at run time.
// Without the library every call fails with E_FAIL or answers false.
#pragma once

#include <windows.h>

#include "framework/gdi_handles.h"

namespace zandle::drawing {

// Closed through the entry point bound at run time (UXTHEME.DLL may be absent).
void CloseVisualStyles(HANDLE theme) noexcept;
using UniqueTheme = fw::UniqueHandle<HANDLE, &CloseVisualStyles>;

class CWinThemeWrapper {
 public:
  CWinThemeWrapper() noexcept = default;
  CWinThemeWrapper(const CWinThemeWrapper&) = delete;
  CWinThemeWrapper& operator=(const CWinThemeWrapper&) = delete;
  virtual ~CWinThemeWrapper() = default;

  void OpenThemeData(HWND window, const wchar_t* classList) noexcept;
  void CloseThemeData() noexcept { themeHandle_.reset(); }
  HRESULT DrawThemeBackground(HDC hdc, int part, int state, const RECT* rect, const RECT* clipRect) noexcept;
  HRESULT GetThemeColor(int part, int state, int property, COLORREF* outColor) noexcept;
  HRESULT GetThemePartSize(HDC hdc, int part, int state, const RECT* rect, int sizeType, SIZE* outSize) noexcept;
  HRESULT GetCurrentThemeName(wchar_t* fileName, int fileNameLength, wchar_t* colorName, int colorNameLength,
                              wchar_t* sizeName, int sizeNameLength) noexcept;
  bool IsAppThemed() noexcept;
  bool IsThemeActive() noexcept;

  HANDLE themeHandle() const noexcept { return themeHandle_.get(); }

 private:
  UniqueTheme themeHandle_;
};

}  // namespace zandle::drawing
