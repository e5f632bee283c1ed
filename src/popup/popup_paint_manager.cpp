#include "popup/popup_paint_manager.h"

#include "drawing/color_manager.h"
#include "drawing/draw_helpers.h"
#include "drawing/gdi_objects.h"
#include "drawing/image_manager.h"
#include "popup/core/dpi_scale.h"
#include "popup/popup_screen.h"
#include "popup/system_color_paint.h"

namespace zandle::popup {
namespace {

using drawing::kNoColor;

test::ScopedCaptionRecorder* g_captionRecorder = nullptr;

bool HasIconImage(drawing::CImageManagerIcon* icon) noexcept { return icon && !icon->GetIcon().IsEmpty(); }

}  // namespace

void CPopupPaintManager::RefreshTheme() {
  using drawing::GetColorManager;
  const drawing::CColorManager& colors = GetColorManager();
  textFont.reset();
  LOGFONTW iconTitle{};
  if (::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(iconTitle), &iconTitle, 0)) {
    // The system's font is made for its own DPI; at 96 both agree and nothing changes.
    iconTitle.lfHeight = RescaleFontHeight(iconTitle.lfHeight, PopupScreen::SystemDpi(), dpi);
    textFont = drawing::CreateFontChecked(iconTitle);
  }
  textColor = colors.GetColor(COLOR_BTNTEXT);
  backgroundGradient.SetStandardColor(colors.GetColor(COLOR_BTNFACE));
  frameGradient.SetStandardColor(colors.GetColor(COLOR_BTNSHADOW));
  hotFillColor = pressedFillColor = kNoColor;
  pressedBorderGradient.SetStandardColors(colors.GetColor(COLOR_BTNSHADOW), colors.GetColor(COLOR_BTNHIGHLIGHT));
  hotBorderGradient.SetStandardColors(colors.GetColor(COLOR_BTNHIGHLIGHT), colors.GetColor(COLOR_BTNSHADOW));
}

void CPopupPaintManager::DrawPopupBackground(HDC dc, RECT r) noexcept {
  drawing::GetDrawHelpers().FillGradient(dc, &r, backgroundGradient, true);
  if (frameGradient.startColor.Effective() == kNoColor) return;
  drawing::Draw3dRect(dc, r, frameGradient.startColor, frameGradient.endColor);
}

void CPopupPaintManager::DrawItemButtonFrame(HDC dc, const RECT& rc, ItemState state) noexcept {
  const bool hot = state.hot, pressed = state.pressed;
  if (hot && pressed) {
    if (pressedFillColor != kNoColor) drawing::FillSolidRect(dc, rc, pressedFillColor);
    drawing::Draw3dRect(dc, rc, pressedBorderGradient.startColor, pressedBorderGradient.endColor);
  } else if (hot || pressed) {
    if (hotFillColor != kNoColor) drawing::FillSolidRect(dc, rc, hotFillColor);
    drawing::Draw3dRect(dc, rc, hotBorderGradient.startColor, hotBorderGradient.endColor);
  }
}

void CPopupPaintManager::DrawPopupItem(HDC dc, CPopupItem& item, ItemState state) noexcept {
  if (systemColorsOnly) {
    DrawSystemColorItem(dc, item, state, item.GetTextFont());
    return;
  }
  RECT rc = item.itemRect;
  if (item.backgroundColor != kNoColor) drawing::FillSolidRect(dc, rc, item.backgroundColor);
  if (item.borderColor != kNoColor) drawing::Draw3dRect(dc, rc, item.borderColor, item.borderColor);

  const bool hot = state.hot, pressed = state.pressed;
  drawing::CImageManagerIcon* icon = item.GetImage();
  if (HasIconImage(icon)) {
    ::OffsetRect(&rc, item.iconOffset.x, item.iconOffset.y);
    drawing::CImageManagerIconImage* image = &icon->GetIcon();
    if (hot || pressed) {
      if (item.isButton) DrawItemButtonFrame(dc, item.itemRect, state);
      image = hot && pressed ? &icon->GetCheckedIcon() : &icon->GetHotIcon();
    }
    icon->Draw(dc, POINT{rc.left, rc.top}, *image, SIZE{icon->GetWidth(), icon->GetHeight()});
    return;
  }

  if (item.isButton) DrawItemButtonFrame(dc, item.itemRect, state);
  if (item.caption.empty()) return;
  DrawItemCaption(dc, item, hot);
}

void CPopupPaintManager::DrawItemCaption(HDC dc, CPopupItem& item, bool hot) noexcept {
  const bool hotLink = hot && item.hyperlink;
  const CaptionFont font(item.GetTextFont(), hotLink, item.bold != FALSE, hotLink || item.bold);
  const fw::ScopedSelectObject selected(dc, font.get());

  RECT t = CaptionTextRect(dc, item);
  const int length = static_cast<int>(item.caption.size());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, item.captionColor != kNoColor ? item.captionColor : textColor);
  if (g_captionRecorder) g_captionRecorder->Record(dc, item.caption, t, item.textFormat);
  ::DrawTextW(dc, item.caption.c_str(), length, &t, item.textFormat);
}

namespace test {

ScopedCaptionRecorder::ScopedCaptionRecorder() noexcept : previous_(g_captionRecorder) { g_captionRecorder = this; }
ScopedCaptionRecorder::~ScopedCaptionRecorder() { g_captionRecorder = previous_; }

void ScopedCaptionRecorder::Record(HDC dc, const std::wstring& text, const RECT& rect, UINT format) {
  CaptionDrawing d;
  d.text = text;
  d.rect = rect;
  d.format = format;
  const HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
  d.hasFont = font && ::GetObjectW(font, sizeof(d.font), &d.font) == sizeof(d.font);
  d.textColor = ::GetTextColor(dc);
  d.backgroundMode = ::GetBkMode(dc);
  drawings_.push_back(std::move(d));
}

const CaptionDrawing* ScopedCaptionRecorder::Find(const std::wstring& text) const noexcept {
  for (auto it = drawings_.rbegin(); it != drawings_.rend(); ++it)
    if (it->text == text) return &*it;
  return nullptr;
}

}  // namespace test
}  // namespace zandle::popup
