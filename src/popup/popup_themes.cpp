#include "popup/popup_themes.h"

#include <iterator>
#include <new>

#include "drawing/color_manager.h"
#include "drawing/draw_helpers.h"
#include "drawing/office2007_images.h"
#include "popup/core/dpi_scale.h"

namespace zandle::popup {
namespace {

using drawing::Color;
using drawing::MakeColor;

constexpr int kCaptionBandHeight = 22;
constexpr int kLeftBarWidth = 30;
constexpr Color kCaptionBandLeft = MakeColor(0, 0, 128);
constexpr Color kCaptionBandRight = MakeColor(24, 180, 192);
constexpr Color kLeftBar = MakeColor(0, 0, 128);

constexpr int kGripperBandHeight = 7;
constexpr int kGripperDots = 9;
constexpr int kGripperPitch = 4;
constexpr int kGripperWidth = 36;
constexpr int kGripperMinLeft = 2;
constexpr Color kGripperShadow = MakeColor(40, 50, 71);
constexpr Color kGripperLight = MakeColor(249, 249, 251);
constexpr Color kGripperCore = MakeColor(97, 116, 152);

constexpr Color kSchemeHotFill = MakeColor(255, 238, 194);
constexpr Color kSchemePressedFill = MakeColor(254, 128, 62);
constexpr Color kOliveBorder = MakeColor(63, 93, 56);
constexpr Color kSilverBorder = MakeColor(75, 75, 111);
constexpr Color kBlueBorder = MakeColor(0, 0, 128);

constexpr Color kMsnOuterLight = MakeColor(166, 180, 207);
constexpr Color kMsnOuterDark = MakeColor(69, 86, 144);
constexpr Color kMsnInnerDark = MakeColor(207, 222, 244);
constexpr Color kMsnWhite = MakeColor(255, 255, 255);
constexpr Color kMsnBandTop = MakeColor(207, 215, 236);
constexpr Color kMsnBandBlue = MakeColor(207, 221, 244);
constexpr Color kMsnFrameLight = MakeColor(114, 142, 184);
constexpr Color kMsnFrameDark = MakeColor(185, 201, 239);
constexpr Color kMsnHotFill = MakeColor(194, 238, 255);
constexpr Color kMsnPressedFill = MakeColor(134, 162, 224);
constexpr Color kMsnButtonBorder = MakeColor(114, 142, 184);

void Deflate(RECT& r) noexcept { ::InflateRect(&r, -1, -1); }

void FillSolid(HDC dc, const RECT& r, Color color) noexcept {
  if (r.right > r.left && r.bottom > r.top) drawing::FillSolidRect(dc, r, color);
}

void FillGradient(HDC dc, const RECT& r, Color from, Color to, bool horizontal) noexcept {
  drawing::GetDrawHelpers().FillGradient(dc, &r, from, to, horizontal);
}

void FillGradient(HDC dc, const RECT& r, const drawing::CPaintManagerColorGradient& g, bool horizontal) noexcept {
  drawing::GetDrawHelpers().FillGradient(dc, &r, g, horizontal);
}

// Frame, then the navy-to-teal caption band: the start both Office 2000 and XP share.
RECT DrawFrameAndCaption(HDC dc, const CPopupPaintManager& theme, RECT r, RECT& caption) noexcept {
  FillGradient(dc, r, theme.backgroundGradient, false);
  drawing::Draw3dRect(dc, r, theme.frameGradient.startColor, theme.frameGradient.endColor);
  Deflate(r);
  caption = RECT{r.left, r.top, r.right, r.top + kCaptionBandHeight};
  FillGradient(dc, caption, kCaptionBandLeft, kCaptionBandRight, true);
  return r;
}

void DrawLeftBar(HDC dc, const RECT& body) noexcept {
  FillSolid(dc, RECT{body.left, body.top, body.left + kLeftBarWidth, body.bottom}, kLeftBar);
}

}  // namespace

void CPopupThemeOffice2000::RefreshTheme() {
  CPopupPaintManager::RefreshTheme();
  const drawing::CColorManager& colors = drawing::GetColorManager();
  frameGradient.SetStandardColors(colors.GetColor(COLOR_BTNHIGHLIGHT), colors.GetColor(COLOR_BTNSHADOW));
}

void CPopupThemeOffice2000::DrawPopupBackground(HDC dc, RECT clientRect) noexcept {
  RECT caption{};
  RECT r = DrawFrameAndCaption(dc, *this, clientRect, caption);
  Deflate(r);
  RECT body{r.left, caption.top + kCaptionBandHeight + 1, r.right, r.bottom};
  drawing::Draw3dRect(dc, body, frameGradient.endColor, frameGradient.startColor);
  Deflate(body);
  drawing::Draw3dRect(dc, body, frameGradient.startColor, frameGradient.endColor);
  Deflate(body);
  DrawLeftBar(dc, body);
}

void CPopupThemeOfficeXP::RefreshTheme() {
  CPopupThemeOffice2000::RefreshTheme();
  const drawing::CColorManager& colors = drawing::GetColorManager();
  backgroundGradient.SetStandardColor(colors.GetColor(drawing::EXT_COLOR_SOFT_FACE));
  hotFillColor = colors.GetColor(drawing::EXT_COLOR_SOFT_HIGHLIGHT);
  pressedFillColor = colors.GetColor(drawing::EXT_COLOR_HALF_HIGHLIGHT);
  hotBorderGradient.SetStandardColor(colors.GetColor(drawing::EXT_COLOR_HIGHLIGHT_BORDER));
  pressedBorderGradient.SetStandardColor(colors.GetColor(drawing::EXT_COLOR_HIGHLIGHT_BORDER));
  frameGradient.SetStandardColor(colors.GetColor(COLOR_BTNSHADOW));
}

void CPopupThemeOfficeXP::DrawPopupBackground(HDC dc, RECT clientRect) noexcept {
  RECT caption{};
  const RECT r = DrawFrameAndCaption(dc, *this, clientRect, caption);
  RECT body{r.left, r.top + kCaptionBandHeight, r.right, r.bottom};
  Deflate(body);
  DrawLeftBar(dc, body);
}

void CPopupThemeOffice2003::RefreshTheme() {
  CPopupThemeOfficeXP::RefreshTheme();
  const drawing::CColorManager& colors = drawing::GetColorManager();
  const drawing::CPaintManagerColorGradient& face = colors.themeFaceGradient;
  backgroundGradient.SetStandardColors(face.endColor.Effective(), face.startColor.Effective());
  captionGradient.SetStandardColors(colors.themeCaptionGradient.startColor.Effective(),
                                    colors.themeCaptionGradient.endColor.Effective(),
                                    colors.themeCaptionGradient.middleWeight);
  frameGradient.SetStandardColor(colors.GetColor(drawing::EXT_COLOR_THEME_FRAME));

  const int scheme = colors.GetLunaTheme();
  if (scheme < drawing::kLunaBlue || scheme > drawing::kLunaAero) return;
  hotFillColor = kSchemeHotFill;
  pressedFillColor = kSchemePressedFill;
  const Color border = scheme == drawing::kLunaOlive    ? kOliveBorder
                       : scheme == drawing::kLunaSilver ? kSilverBorder
                                                        : kBlueBorder;
  hotBorderGradient.SetStandardColor(border);
  pressedBorderGradient.SetStandardColor(border);
}

void CPopupThemeOffice2003::DrawPopupBackground(HDC dc, RECT r) noexcept {
  FillGradient(dc, r, backgroundGradient, false);
  drawing::Draw3dRect(dc, r, frameGradient.startColor, frameGradient.endColor);
  Deflate(r);
  const RECT caption{r.left, r.top, r.right, r.top + ScaleEdge(kGripperBandHeight, dpi)};
  FillGradient(dc, caption, captionGradient, false);

  // The dots use client x coordinates, not offsets from the band's left edge; worked out
  // in layout pixels, each dot's edges scaled.
  int x0 = (UnscaleEdge(caption.right - caption.left, dpi) - kGripperWidth) / 2;
  if (x0 < kGripperMinLeft) x0 = kGripperMinLeft;
  const auto at = [this, &caption](int left, int top, int right, int bottom) {
    const Rect scaled = ScaleRect({left, top, right, bottom}, dpi);
    return RECT{scaled.left, caption.top + scaled.top, scaled.right, caption.top + scaled.bottom};
  };
  drawing::SolidFill dots[kGripperDots * 3];
  for (int k = 0; k < kGripperDots; ++k) {
    const LONG x = x0 + kGripperPitch * k;
    dots[3 * k] = {at(x, 1, x + 2, 3), kGripperShadow};
    dots[3 * k + 1] = {at(x + 1, 2, x + 3, 4), kGripperLight};
    dots[3 * k + 2] = {at(x + 1, 2, x + 2, 3), kGripperCore};
  }
  drawing::FillSolidRects(dc, dots, std::size(dots));
}

void CPopupThemeOffice2007::RefreshTheme() {
  CPopupThemeOffice2003::RefreshTheme();
  const drawing::COffice2007Images& store = drawing::GetDefaultOffice2007Images();
  const auto color = [&store](const wchar_t* key) { return store.GetImageColor(L"PopupControl", key); };
  backgroundGradient.SetStandardColors(color(L"BackgroundLight"), color(L"BackgroundDark"));
  captionGradient.SetStandardColors(color(L"CaptionLight"), color(L"CaptionDark"));
  frameGradient.SetStandardColor(color(L"FrameBorder"));
  textColor = color(L"NormalText");
  hotFillColor = color(L"ButtonSelected");
  pressedFillColor = color(L"ButtonPressed");
  pressedBorderGradient.SetStandardColor(color(L"ButtonBorder"));
  hotBorderGradient.SetStandardColor(color(L"ButtonBorder"));
}

void CPopupThemeMSN::RefreshTheme() {
  CPopupThemeOffice2000::RefreshTheme();
  hotFillColor = kMsnHotFill;
  hotBorderGradient.SetStandardColor(kMsnButtonBorder);
  pressedFillColor = kMsnPressedFill;
  pressedBorderGradient.SetStandardColor(kMsnButtonBorder);
}

void CPopupThemeMSN::DrawPopupBackground(HDC dc, RECT r) noexcept {
  drawing::Draw3dRect(dc, r, kMsnOuterLight, kMsnOuterDark);
  Deflate(r);
  drawing::Draw3dRect(dc, r, kMsnWhite, kMsnInnerDark);
  Deflate(r);
  const LONG t = r.top;
  const struct {
    LONG top, bottom;
    Color from, to;
  } bands[] = {
      {t, t + 12, kMsnBandTop, kMsnWhite},
      {t + 12, t + 23, kMsnWhite, kMsnBandBlue},
      {t + 23, t + 40, kMsnBandBlue, kMsnWhite},
      {t + 40, r.bottom, kMsnWhite, kMsnBandBlue},
  };
  for (const auto& band : bands) FillGradient(dc, RECT{r.left, band.top, r.right, band.bottom}, band.from, band.to, false);
  drawing::Draw3dRect(dc, RECT{r.left, t + 22, r.right, r.bottom}, kMsnFrameLight, kMsnFrameDark);
}

std::unique_ptr<CPopupPaintManager> CreatePaintManager(PopupTheme theme) noexcept {
  switch (theme) {
    case PopupTheme::Office2000: return std::unique_ptr<CPopupPaintManager>(new (std::nothrow) CPopupThemeOffice2000);
    case PopupTheme::OfficeXP: return std::unique_ptr<CPopupPaintManager>(new (std::nothrow) CPopupThemeOfficeXP);
    case PopupTheme::Office2003: return std::unique_ptr<CPopupPaintManager>(new (std::nothrow) CPopupThemeOffice2003);
    case PopupTheme::MSN: return std::unique_ptr<CPopupPaintManager>(new (std::nothrow) CPopupThemeMSN);
    case PopupTheme::Office2007: return std::unique_ptr<CPopupPaintManager>(new (std::nothrow) CPopupThemeOffice2007);
    case PopupTheme::Plain: break;
  }
  return std::unique_ptr<CPopupPaintManager>(new (std::nothrow) CPopupPaintManager);
}

}  // namespace zandle::popup
