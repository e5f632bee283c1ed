// The five popup themes. Office2000 is the root of the family; OfficeXP and MSN derive
// from it, Office2003 from OfficeXP, Office2007 from Office2003.
#pragma once

#include <memory>

#include "popup/core/popup_types.h"
#include "popup/popup_paint_manager.h"

namespace zandle::popup {

class CPopupThemeOffice2000 : public CPopupPaintManager {
 public:
  void DrawPopupBackground(HDC dc, RECT clientRect) noexcept override;
  void RefreshTheme() override;
};

class CPopupThemeOfficeXP : public CPopupThemeOffice2000 {
 public:
  void DrawPopupBackground(HDC dc, RECT clientRect) noexcept override;
  void RefreshTheme() override;
};

class CPopupThemeOffice2003 : public CPopupThemeOfficeXP {
 public:
  void DrawPopupBackground(HDC dc, RECT clientRect) noexcept override;
  void RefreshTheme() override;

  drawing::CPaintManagerColorGradient captionGradient;
};

class CPopupThemeOffice2007 : public CPopupThemeOffice2003 {
 public:
  void RefreshTheme() override;
};

class CPopupThemeMSN : public CPopupThemeOffice2000 {
 public:
  void DrawPopupBackground(HDC dc, RECT clientRect) noexcept override;
  void RefreshTheme() override;
};

// Not yet refreshed. Null only when memory runs out.
std::unique_ptr<CPopupPaintManager> CreatePaintManager(PopupTheme theme) noexcept;

}  // namespace zandle::popup
