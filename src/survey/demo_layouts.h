// The layouts that show the component's themes, reachable through the host's hidden
// preset selector: 0 Word 2000, 1 Word XP, 3 product information (MSN), 5 to 8 custom
// colours, 9 tooltip.
#pragma once

#include <windows.h>

#include <string>

namespace zandle::popup {
class CPopupControl;
}

namespace zandle::survey {

inline constexpr int kLayoutCount = 10;
inline constexpr int kSurveyLayout = 2;
inline constexpr int kSurvey2007Layout = 4;

// The popup size a layout is made for.
SIZE LayoutSize(int index) noexcept;

// Fills `popup` with layout `index`; the survey layouts take the title and link. Any
// other index builds nothing.
void BuildLayout(popup::CPopupControl& popup, int index, const std::wstring& title, const std::wstring& link);

void LayoutWordTheme(popup::CPopupControl& popup, bool officeXP);
void LayoutProductInformation(popup::CPopupControl& popup);
// 5 blue, 6 black, 7 green, 8 red.
void LayoutCustomColors(popup::CPopupControl& popup, int index);
void LayoutTooltip(popup::CPopupControl& popup);

}  // namespace zandle::survey
