// The paint manager of a popup: background, frame, text font and colours, and the
// looks of button items. Themes are subclasses that fill the fields differently and
// draw another background; item drawing is shared by all of them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "drawing/paint_manager_color.h"
#include "framework/gdi_handles.h"
#include "popup/popup_item.h"

namespace zandle::popup {

class CPopupPaintManager {
 public:
  CPopupPaintManager() = default;
  CPopupPaintManager(const CPopupPaintManager&) = delete;
  CPopupPaintManager& operator=(const CPopupPaintManager&) = delete;
  virtual ~CPopupPaintManager() = default;

  virtual void DrawPopupBackground(HDC dc, RECT clientRect) noexcept;
  virtual void RefreshTheme();

  // The popup tells each item's state: the paint manager never asks back.
  void DrawPopupItem(HDC dc, CPopupItem& item, ItemState state) noexcept;
  void DrawItemButtonFrame(HDC dc, const RECT& rect, ItemState state) noexcept;

  // What the popup lays itself out at; the fonts are made for it, not for the system's DPI.
  int dpi = 96;
  drawing::CPaintManagerColorGradient backgroundGradient;
  drawing::CPaintManagerColorGradient frameGradient;
  fw::UniqueFont textFont;
  COLORREF textColor = 0;
  COLORREF hotFillColor = drawing::kNoColor;
  COLORREF pressedFillColor = drawing::kNoColor;
  drawing::CPaintManagerColorGradient hotBorderGradient;
  drawing::CPaintManagerColorGradient pressedBorderGradient;
  // High contrast: items in system colours only, whatever the fields above say.
  bool systemColorsOnly = false;

 private:
  void DrawItemCaption(HDC dc, CPopupItem& item, bool hot) noexcept;
};

namespace test {

// What one caption drawing looked like, read from the device context at the text call,
// so that tests check fonts and colours without depending on a font engine's glyphs.
struct CaptionDrawing {
  std::wstring text;
  RECT rect{};
  UINT format = 0;
  LOGFONTW font{};
  bool hasFont = false;
  COLORREF textColor = 0;
  int backgroundMode = 0;
};

// Receives every caption drawn while in scope (one at a time, this thread).
class ScopedCaptionRecorder {
 public:
  ScopedCaptionRecorder() noexcept;
  ScopedCaptionRecorder(const ScopedCaptionRecorder&) = delete;
  ScopedCaptionRecorder& operator=(const ScopedCaptionRecorder&) = delete;
  ~ScopedCaptionRecorder();

  void Record(HDC dc, const std::wstring& text, const RECT& rect, UINT format);
  // The latest drawing of `text`, or null.
  const CaptionDrawing* Find(const std::wstring& text) const noexcept;
  const std::vector<CaptionDrawing>& All() const noexcept { return drawings_; }
  void Clear() noexcept { drawings_.clear(); }

 private:
  std::vector<CaptionDrawing> drawings_;
  ScopedCaptionRecorder* previous_;
};

}  // namespace test
}  // namespace zandle::popup
