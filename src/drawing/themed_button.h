// The push button of the survey host dialog. Its dialog is never shown, so what
// matters is the theme refresh: when bound, and on every WM_SYSCOLORCHANGE.
#pragma once

#include <windows.h>

#include "drawing/color_functions.h"
#include "drawing/win_theme_wrapper.h"
#include "framework/window_binding.h"

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

class CThemedButton : public fw::WindowBinding {
 public:
  // Push-button styles: plain, or a drop-down whose press sends the parent a
  // WM_NOTIFY with code kDropDownNotification instead of a click.
  static constexpr int kPlain = 0;
  static constexpr int kDropDown = 1;
  static constexpr UINT kDropDownNotification = 7;

  explicit CThemedButton(CColorManager& colors);
  virtual ~CThemedButton();

  // Binds the dialog's control `id`; refreshes the theme once bound.
  bool SubclassDlgItem(UINT id, HWND dialog);
  CThemedButtonTheme& Theme() noexcept { return theme_; }
  // Sets the style and redraws the button.
  void SetPushButtonStyle(int style) noexcept;
  int GetPushButtonStyle() const noexcept { return style_; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self) noexcept;
  void Unsubclass() noexcept;

  bool SendDropDown(HWND window) noexcept;

  CThemedButtonTheme theme_;
  int style_ = kPlain;
};

}  // namespace zandle::drawing
