// The five popup themes. Office2000 is the root of the family; OfficeXP and MSN derive
// from it, Office2003 from OfficeXP, Office2007 from Office2003.
#pragma once

#include <memory>

#include "popup/popup_paint_manager.h"

namespace zandle::popup {

class CPopupThemeOffice2000 : public CPopupPaintManager {
 public:
  void DrawPopupBackground(HDC dc, CPopupControl* popup, RECT clientRect) noexcept override;
  void RefreshTheme() noexcept override;
};

class CPopupThemeOfficeXP : public CPopupThemeOffice2000 {
 public:
  void DrawPopupBackground(HDC dc, CPopupControl* popup, RECT clientRect) noexcept override;
  void RefreshTheme() noexcept override;
};

class CPopupThemeOffice2003 : public CPopupThemeOfficeXP {
 public:
  void DrawPopupBackground(HDC dc, CPopupControl* popup, RECT clientRect) noexcept override;
  void RefreshTheme() noexcept override;

  drawing::CPaintManagerColorGradient captionGradient;
};

class CPopupThemeOffice2007 : public CPopupThemeOffice2003 {
 public:
  void RefreshTheme() noexcept override;
};

class CPopupThemeMSN : public CPopupThemeOffice2000 {
 public:
  void DrawPopupBackground(HDC dc, CPopupControl* popup, RECT clientRect) noexcept override;
  void RefreshTheme() noexcept override;
};

// 0 Office2000, 1 OfficeXP, 2 Office2003, 3 MSN, 4 Office2007, any other the plain
// manager; not yet refreshed. Null only when memory runs out.
std::unique_ptr<CPopupPaintManager> CreatePaintManager(int theme) noexcept;

}  // namespace zandle::popup
