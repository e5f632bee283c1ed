// What the layouts do to each item: append it, then give it pictures and flags.
#pragma once

#include <windows.h>

#include "popup/popup_control.h"
#include "popup/popup_item.h"

namespace zandle::survey::layout {

inline constexpr int kNormalState = 1;
inline constexpr int kAllStates = 7;  // normal, hot and pressed frames
inline constexpr COLORREF kBlackMask = RGB(0, 0, 0);
inline constexpr COLORREF kMagentaMask = RGB(255, 0, 255);

popup::CHyperLinkPopupItem* Add(popup::CPopupControl& popup, RECT rect, const wchar_t* caption = nullptr,
                                COLORREF background = drawing::kNoColor, COLORREF border = drawing::kNoColor);
// Icon resource `id` of this module at size x size, as the item's normal picture.
void GiveIcon(popup::CPopupItem& item, UINT id, int size);
// Height, then width, from the caption or picture.
void Fit(popup::CPopupItem& item);

}  // namespace zandle::survey::layout
