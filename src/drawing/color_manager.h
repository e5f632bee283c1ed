// The process-wide colour table that paint themes read: system colours, derived soft
// colours with contrast corrections, and the desktop colour scheme's gradients.
#pragma once

#include <string>

#include "drawing/color_functions.h"
#include "drawing/paint_manager_color.h"

struct HDC__;

namespace zandle::drawing {

namespace test {
class ScopedColorEnvironment;
}

// What the colour manager asks of the system; tests supply their own answers.
class ColorEnvironment {
 public:
  virtual ~ColorEnvironment() = default;
  virtual Color SysColor(int index) const = 0;
  virtual int ScreenBitsPerPixel() const = 0;
  virtual bool IsThemeActive() const = 0;
  // Theme file and colour names; false when the query fails.
  virtual bool CurrentThemeName(std::wstring& fileName, std::wstring& colorName) const = 0;
};
const ColorEnvironment& SystemColorEnvironment();

enum LunaTheme { kLunaNone = 0, kLunaBlue = 1, kLunaOlive = 2, kLunaSilver = 3, kLunaRoyale = 4, kLunaAero = 5 };

inline constexpr int kSysColorHighlight = 13;
inline constexpr int kSysColorBtnFace = 15;
inline constexpr int kSysColorBtnShadow = 16;
inline constexpr int kSysColorBtnText = 18;
inline constexpr int kSysColorWindow = 5;

inline constexpr int EXT_COLOR_SOFT_FACE = 30;
inline constexpr int EXT_COLOR_SOFT_HIGHLIGHT = 31;
inline constexpr int EXT_COLOR_HIGHLIGHT_BORDER = 32;
inline constexpr int EXT_COLOR_HALF_HIGHLIGHT = 33;
inline constexpr int EXT_COLOR_THEME_FRAME = 54;
inline constexpr int kColorTableSize = 63;

// 1 to 8 bits per pixel. A null device context asks the screen's.
bool IsLowColorDisplay(HDC__* dc);
int DetectLunaTheme(const ColorEnvironment& environment);

class CColorManager {
 public:
  explicit CColorManager(const ColorEnvironment& environment = SystemColorEnvironment());
  CColorManager(const CColorManager&) = delete;
  CColorManager& operator=(const CColorManager&) = delete;
  virtual ~CColorManager() = default;

  Color GetColor(int index) const noexcept;
  int GetLunaTheme() const noexcept { return lunaTheme; }
  void RefreshColors();

  Color standardColors[kColorTableSize] = {};
  Color userColors[kColorTableSize] = {};
  CPaintManagerColorGradient themeFaceGradient;
  CPaintManagerColorGradient themeCaptionGradient;
  int lunaTheme = kLunaNone;

 private:
  void SetSchemeGradients(bool lowColor);

  friend class test::ScopedColorEnvironment;
  const ColorEnvironment* environment_;
};

CColorManager& GetColorManager();

namespace test {

// Makes the process-wide colour manager read `environment` and refreshes it; the
// system's answers come back (refreshed again) when the scope ends.
class ScopedColorEnvironment {
 public:
  explicit ScopedColorEnvironment(const ColorEnvironment& environment);
  ScopedColorEnvironment(const ScopedColorEnvironment&) = delete;
  ScopedColorEnvironment& operator=(const ScopedColorEnvironment&) = delete;
  ~ScopedColorEnvironment();

 private:
  const ColorEnvironment* saved_;
};

}  // namespace test

}  // namespace zandle::drawing
