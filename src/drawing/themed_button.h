// The push button of the survey host dialog. Its dialog is never shown, so what
// matters is the theme refresh: when bound, and on every WM_SYSCOLORCHANGE.
#pragma once

#include <windows.h>

#include "drawing/color_functions.h"
#include "drawing/win_theme_wrapper.h"

namespace zandle::drawing {

class CColorManager;

class CThemedButtonTheme {
 public:
  explicit CThemedButtonTheme(CColorManager& colors) noexcept : colors_(colors) {}
  CThemedButtonTheme(const CThemedButtonTheme&) = delete;
  CThemedButtonTheme& operator=(const CThemedButtonTheme&) = delete;
  virtual ~CThemedButtonTheme() = default;

  // Opens "BUTTON" visual-style data for `button`, refreshes the colour manager and
  // takes the colours from it.
  void RefreshMetrics(HWND button);

  Color faceColor = kNoColor;
  Color textColor = kNoColor;
  Color shadowColor = kNoColor;
  Color highlightColor = kNoColor;
  Color borderColor = kNoColor;
  int refreshCount = 0;
  CWinThemeWrapper buttonTheme;

 private:
  CColorManager& colors_;
};

class CThemedButton {
 public:
  explicit CThemedButton(CColorManager& colors);
  CThemedButton(const CThemedButton&) = delete;
  CThemedButton& operator=(const CThemedButton&) = delete;
  virtual ~CThemedButton();

  // Binds the dialog's control `id`; refreshes the theme once bound.
  bool SubclassDlgItem(UINT id, HWND dialog) noexcept;
  HWND hwnd() const noexcept { return window_; }
  CThemedButtonTheme& Theme() noexcept { return theme_; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self) noexcept;
  void Unsubclass() noexcept;

  HWND window_ = nullptr;
  CThemedButtonTheme theme_;
};

}  // namespace zandle::drawing
