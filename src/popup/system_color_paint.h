// The popup in high-contrast mode: system colours only, whatever the theme, no
// gradients; icons keep their outlines and glyphs, in the text's colour.
#pragma once

#include <windows.h>

#include "popup/popup_item.h"

namespace zandle::popup {

void DrawSystemColorBackground(HDC dc, RECT clientRect) noexcept;
// `font`: the item's font or the paint manager's.
void DrawSystemColorItem(HDC dc, CPopupItem& item, ItemState state, HFONT font) noexcept;
// The icon's dark opaque pixels, all in `color`; the others untouched.
void DrawIconShape(HDC dc, drawing::CImageManagerIcon& icon, POINT point, COLORREF color) noexcept;

}  // namespace zandle::popup
