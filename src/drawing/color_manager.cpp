#include "drawing/color_manager.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "drawing/win_theme_wrapper.h"
#include "framework/gdi_handles.h"

namespace zandle::drawing {
namespace {

constexpr int kFirstSysColor = 1;
constexpr int kLastSysColor = 29;
constexpr int kMaxLowColorBits = 8;
constexpr int kThemeNameLength = 260;

constexpr int kSoftFaceWindowPerMille = 165;
constexpr int kSoftHighlightPercent = 30;
constexpr int kHalfHighlightPercent = 50;
constexpr int kFaceGradientEndPerMille = 215;
constexpr float kSoftFaceMaxDistance = 35;
constexpr float kSoftHighlightContrast = 50;
constexpr float kHighlightBorderContrast = 100;
constexpr float kHalfHighlightContrast = 30;

constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kWhite = MakeColor(255, 255, 255);

bool IsLowColorDepth(int bits) { return bits >= 1 && bits <= kMaxLowColorBits; }

class SystemEnvironment final : public ColorEnvironment {
 public:
  Color SysColor(int index) const override { return ::GetSysColor(index); }
  int ScreenBitsPerPixel() const override {
    const fw::UniqueWindowDC screen = fw::GetWindowDC(::GetDesktopWindow());
    return screen ? ::GetDeviceCaps(screen.get().dc, BITSPIXEL) : 0;
  }
  // Wine may answer that a visual style is active with a theme file of its own; only
  // the Windows file names below name a scheme, whatever the answer.
  bool IsThemeActive() const override { return CWinThemeWrapper().IsThemeActive(); }
  bool CurrentThemeName(std::wstring& fileName, std::wstring& colorName) const override {
    wchar_t file[kThemeNameLength] = {}, color[kThemeNameLength] = {}, size[kThemeNameLength] = {};
    if (FAILED(CWinThemeWrapper().GetCurrentThemeName(file, kThemeNameLength, color, kThemeNameLength, size,
                                                      kThemeNameLength)))
      return false;
    file[kThemeNameLength - 1] = color[kThemeNameLength - 1] = L'\0';
    fileName = file;
    colorName = color;
    return true;
  }
};

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
  return text;
}

}  // namespace

const ColorEnvironment& SystemColorEnvironment() {
  static const SystemEnvironment environment;
  return environment;
}

bool IsLowColorDisplay(HDC dc) {
  if (dc) {
    // A memory context's own bitmap decides what it can hold; asking the device costs
    // Wine a display query of ~50 us, at every gradient of every paint.
    BITMAP selected{};
    const HGDIOBJ bitmap = ::GetObjectType(dc) == OBJ_MEMDC ? ::GetCurrentObject(dc, OBJ_BITMAP) : nullptr;
    if (bitmap && ::GetObjectW(bitmap, sizeof(selected), &selected) && selected.bmBitsPixel > 1)
      return IsLowColorDepth(selected.bmBitsPixel);
    return IsLowColorDepth(::GetDeviceCaps(dc, BITSPIXEL));
  }
  return IsLowColorDepth(SystemColorEnvironment().ScreenBitsPerPixel());
}

int DetectLunaTheme(const ColorEnvironment& environment) {
  if (!environment.IsThemeActive() || IsLowColorDepth(environment.ScreenBitsPerPixel())) return kLunaNone;
  std::wstring fileName, colorName;
  if (!environment.CurrentThemeName(fileName, colorName)) return kLunaNone;
  fileName = Lower(fileName);
  if (fileName.find(L"luna.msstyles") != std::wstring::npos) {
    colorName = Lower(colorName);
    if (colorName == L"normalcolor") return kLunaBlue;
    if (colorName == L"homestead") return kLunaOlive;
    if (colorName == L"metallic") return kLunaSilver;
  }
  if (fileName.find(L"royale.msstyles") != std::wstring::npos) return kLunaRoyale;
  if (fileName.find(L"aero.msstyles") != std::wstring::npos) return kLunaAero;
  return kLunaNone;
}

CColorManager::CColorManager(const ColorEnvironment& environment) : environment_(&environment) {
  std::fill(std::begin(userColors), std::end(userColors), kNoColor);
  RefreshColors();
}

Color CColorManager::GetColor(int index) const noexcept {
  if (index > kColorTableSize - 1) return static_cast<Color>(index);
  if (index < 0) return kNoColor;
  return userColors[index] != kNoColor ? userColors[index] : standardColors[index];
}

void CColorManager::RefreshColors() {
  lunaTheme = DetectLunaTheme(*environment_);

  standardColors[0] = kBlack;
  for (int i = kFirstSysColor; i <= kLastSysColor; ++i) standardColors[i] = environment_->SysColor(i);
  Color* c = standardColors;
  const Color face = c[kSysColorBtnFace], window = c[kSysColorWindow], highlight = c[kSysColorHighlight];
  const Color buttonText = c[kSysColorBtnText];
  c[EXT_COLOR_SOFT_FACE] = face;
  c[EXT_COLOR_SOFT_HIGHLIGHT] = window;
  c[EXT_COLOR_HIGHLIGHT_BORDER] = highlight;
  c[EXT_COLOR_HALF_HIGHLIGHT] = highlight;
  c[EXT_COLOR_THEME_FRAME] = c[kSysColorBtnShadow];

  const bool lowColor = IsLowColorDepth(environment_->ScreenBitsPerPixel());
  if (lowColor) {
    SetSchemeGradients(true);
    return;
  }

  const bool highContrast = (face == kBlack && buttonText == kWhite) || (face == kWhite && buttonText == kBlack);
  if (highContrast) {
    c[EXT_COLOR_SOFT_HIGHLIGHT] = highlight;
    c[EXT_COLOR_HIGHLIGHT_BORDER] = buttonText;
  } else {
    c[EXT_COLOR_SOFT_FACE] = BlendColors(window, face, kSoftFaceWindowPerMille);
    c[EXT_COLOR_SOFT_HIGHLIGHT] = BlendColors(highlight, window, kSoftHighlightPercent);
    c[EXT_COLOR_HALF_HIGHLIGHT] = BlendColors(highlight, window, kHalfHighlightPercent);
  }

  if (HasContrast(face, c[EXT_COLOR_SOFT_FACE], kSoftFaceMaxDistance))
    c[EXT_COLOR_SOFT_FACE] = PullToDistance(face, c[EXT_COLOR_SOFT_FACE], kSoftFaceMaxDistance);

  const Color softFace = c[EXT_COLOR_SOFT_FACE];
  if (!HasContrast(softFace, c[EXT_COLOR_SOFT_HIGHLIGHT], kSoftHighlightContrast))
    c[EXT_COLOR_SOFT_HIGHLIGHT] = PushToContrast(softFace, c[EXT_COLOR_SOFT_HIGHLIGHT], kSoftHighlightContrast);
  if (!HasContrast(softFace, highlight, kHighlightBorderContrast))
    c[EXT_COLOR_HIGHLIGHT_BORDER] = PushToContrast(softFace, highlight, kHighlightBorderContrast);
  if (!HasContrast(softFace, c[EXT_COLOR_HALF_HIGHLIGHT], kHalfHighlightContrast))
    c[EXT_COLOR_HALF_HIGHLIGHT] = PushToContrast(softFace, c[EXT_COLOR_HALF_HIGHLIGHT], kHalfHighlightContrast);

  SetSchemeGradients(false);
}

void CColorManager::SetSchemeGradients(bool lowColor) {
  Color* c = standardColors;
  const Color face = c[kSysColorBtnFace];
  switch (lunaTheme) {
    case kLunaBlue:
    case kLunaRoyale:
    case kLunaAero:
      themeFaceGradient.SetStandardColors(MakeColor(158, 190, 245), MakeColor(196, 218, 250));
      themeCaptionGradient.SetStandardColors(MakeColor(89, 135, 214), MakeColor(0, 45, 150));
      c[EXT_COLOR_THEME_FRAME] = MakeColor(0, 45, 150);
      break;
    case kLunaOlive:
      themeFaceGradient.SetStandardColors(MakeColor(217, 217, 167), MakeColor(242, 241, 228));
      themeCaptionGradient.SetStandardColors(MakeColor(120, 142, 111), MakeColor(73, 91, 67));
      c[EXT_COLOR_THEME_FRAME] = MakeColor(96, 128, 88);
      break;
    case kLunaSilver:
      themeFaceGradient.SetStandardColors(MakeColor(215, 215, 229), MakeColor(243, 243, 247));
      themeCaptionGradient.SetStandardColors(MakeColor(168, 167, 191), MakeColor(119, 118, 151));
      c[EXT_COLOR_THEME_FRAME] = MakeColor(124, 124, 148);
      break;
    default:
      themeFaceGradient.SetStandardColors(face, BlendColors(face, c[kSysColorWindow], kFaceGradientEndPerMille));
      themeCaptionGradient.SetStandardColors(face, c[kSysColorBtnShadow]);
      break;
  }
  if (lowColor) themeFaceGradient.SetStandardColor(face);
}

CColorManager& GetColorManager() {
  static CColorManager manager;
  return manager;
}

namespace test {

ScopedColorEnvironment::ScopedColorEnvironment(const ColorEnvironment& environment)
    : saved_(GetColorManager().environment_) {
  GetColorManager().environment_ = &environment;
  GetColorManager().RefreshColors();
}

ScopedColorEnvironment::~ScopedColorEnvironment() {
  GetColorManager().environment_ = saved_;
  GetColorManager().RefreshColors();
}

}  // namespace test

}  // namespace zandle::drawing
