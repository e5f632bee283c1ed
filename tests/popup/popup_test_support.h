// Shared by the popup tests: a colour environment with known answers, items, and
// handle counts.
#pragma once

#include <windows.h>

#include <string>

#include "drawing/color_manager.h"
#include "popup/popup_control.h"
#include "popup/popup_item.h"
#include "surface.h"

namespace zandle::popup::testing {

// Classic colours with a distinct value per index the themes read; no visual style
// unless a scheme is chosen.
class KnownColors : public drawing::ColorEnvironment {
 public:
  static constexpr COLORREF kFace = RGB(212, 208, 200);
  static constexpr COLORREF kShadow = RGB(128, 128, 128);
  static constexpr COLORREF kHighlightEdge = RGB(255, 255, 255);
  static constexpr COLORREF kButtonText = RGB(10, 20, 30);
  static constexpr COLORREF kWindow = RGB(255, 255, 255);
  static constexpr COLORREF kSelection = RGB(10, 36, 106);

  KnownColors();
  drawing::Color SysColor(int index) const override { return colors[index]; }
  int ScreenBitsPerPixel() const override { return bits; }
  bool IsThemeActive() const override { return !themeFile.empty(); }
  bool CurrentThemeName(std::wstring& file, std::wstring& color) const override;

  // The Windows XP scheme names: "NormalColor" blue, "HomeStead" olive, "Metallic" silver.
  void UseLunaScheme(const wchar_t* colorName);

  COLORREF colors[31] = {};
  int bits = 32;
  std::wstring themeFile, themeColor;
};

// Installs `colors` in the process-wide colour manager for the scope.
class ScopedKnownColors {
 public:
  explicit ScopedKnownColors(const KnownColors& colors) : scope_(colors) {}

 private:
  drawing::test::ScopedColorEnvironment scope_;
};

CHyperLinkPopupItem* AddItem(CPopupControl& popup, RECT rect, const wchar_t* caption = nullptr,
                             COLORREF background = drawing::kNoColor, COLORREF border = drawing::kNoColor);

// Live handle counts of every kind the popup owns through the framework's owners.
using drawing::testing::GdiCounts;

}  // namespace zandle::popup::testing
