// Items of a popup: rectangles in its client area with a caption, colours, a font and
// an icon of up to three state pictures. Hot and pressed states belong to the popup.
#pragma once

#include <windows.h>

#include <string>

#include "drawing/color_functions.h"
#include "framework/gdi_handles.h"
#include "framework/ref_counted.h"
#include "popup/core/focus_order.h"

namespace zandle::drawing {
class CImageManager;
class CImageManagerIcon;
}

namespace zandle::popup {

class CPopupItem;

// The one item id the popup acts on itself: a click on the item closes the popup.
inline constexpr int kCloseItemId = -1;

// Hot: under the pointer; pressed: the button went down on it and is still held.
struct ItemState {
  bool hot = false;
  bool pressed = false;
};

// What an item needs from the popup that holds it.
class CPopupItemHost {
 public:
  virtual drawing::CImageManager& GetImageManager() const noexcept = 0;
  // The paint manager's font, for items without one of their own.
  virtual HFONT GetDefaultTextFont() const noexcept = 0;
  virtual ItemState GetItemState(const CPopupItem* item) const noexcept = 0;
  virtual void DrawItem(HDC dc, CPopupItem& item) noexcept = 0;
  virtual void RedrawControl() noexcept = 0;

 protected:
  ~CPopupItemHost() = default;
};

class CPopupItem : public fw::RefCounted {
 public:
  // Born with one reference, which CPopupControl::AddItem takes over.
  CPopupItem(const RECT& rect, const wchar_t* caption, drawing::Color backgroundColor,
             drawing::Color borderColor);

  // Through the popup, which knows the item's state and its paint manager.
  void Draw(HDC dc) noexcept;
  virtual HFONT GetTextFont() const noexcept;
  virtual void OnInserted() noexcept {}

  bool IsHot() const noexcept;
  bool IsPressed() const noexcept;
  void RedrawItem() noexcept;

  void SetTextFont(const LOGFONTW& logFont) noexcept;
  // state 1 normal, 2 hot, anything else the pressed (checked) picture. The image
  // manager keeps its own copy of `icon`.
  bool SetIcon(HICON icon, int state) noexcept;
  // Cuts bitmap resource `bitmapId` of this module into one frame per state bit
  // (1 normal, 2 hot, 4 pressed); false when the resource is missing.
  bool SetIcons(UINT bitmapId, COLORREF maskColor, int states) noexcept;
  // Icon resource `iconId` of this module, `size` layout pixels square, as the normal picture.
  bool SetIconResource(UINT iconId, int size) noexcept;
  // The resource pictures again, as drawn for `dpi` (the nearest scale at or above it).
  void ScalePictures(int dpi) noexcept;
  drawing::CImageManagerIcon* GetImage() const noexcept;
  void CenterIcon() noexcept;
  void FitHeight() noexcept;
  void FitWidth() noexcept;

  // The icon store key: iconId, or the index when iconId is -1.
  UINT IconKey() const noexcept { return static_cast<UINT>(iconId == -1 ? index : iconId); }
  // Id 0, no button, and nothing clickable in its caption: pressing it drags the popup.
  bool IsInert() const noexcept { return id == 0 && !isButton && (caption.empty() || !hyperlink); }
  // A clickable caption that is not a button: read and painted as a link.
  bool IsLink() const noexcept { return !isButton && id != 0 && hyperlink; }
  bool HasOwnFont() const noexcept { return static_cast<bool>(captionFont); }

  // Set directly by the layouts; the popup sets owner and index in AddItem.
  BOOL isButton = FALSE;
  int id = 0;
  RECT itemRect{};
  CPopupItemHost* owner = nullptr;
  fw::UniqueFont captionFont;
  BOOL hyperlink = TRUE;
  std::wstring caption;
  UINT textFormat = 0;
  BOOL bold = FALSE;
  drawing::Color captionColor = drawing::kNoColor;
  drawing::Color backgroundColor = drawing::kNoColor;
  drawing::Color borderColor = drawing::kNoColor;
  POINT iconOffset{};
  int index = 0;
  int iconId = -1;
  // What screen readers call the item when its caption is a picture; else the caption.
  std::wstring accessibleName;

 protected:
  ~CPopupItem() override = default;

 private:
  // Width of the caption (format without word break) or its height (with the width fixed).
  SIZE MeasureCaption(const RECT& bounds) const noexcept;
  // From the resource `picture_` names, drawn at scale pictureScale_ (else at 1x).
  bool LoadPictures() noexcept;

  // Where the item's pictures came from, to load them again at another scale.
  struct PictureSource {
    UINT id = 0;  // 0: none, or set from a handle
    bool icon = false;
    int size = 0;  // an icon's side in layout pixels
    COLORREF mask = 0;
    int states = 0;
  };
  PictureSource picture_;
  int pictureScale_ = 0;  // index into kPictureScalePercents
  bool centredIcon_ = false;
};

class CHyperLinkPopupItem : public CPopupItem {
 public:
  using CPopupItem::CPopupItem;

  std::wstring linkAddress;

 protected:
  ~CHyperLinkPopupItem() override = default;
};

// How the keyboard and screen readers treat the item.
FocusKind FocusKindOf(const CPopupItem& item) noexcept;

// The font an item draws or measures its caption with: its own or the paint manager's,
// or a temporary copy with the underline and weight changed. Selected while in scope.
class CaptionFont {
 public:
  CaptionFont(HFONT base, bool underline, bool bold, bool adjust) noexcept;
  CaptionFont(const CaptionFont&) = delete;
  CaptionFont& operator=(const CaptionFont&) = delete;
  HFONT get() const noexcept { return temporary_ ? temporary_.get() : base_; }

 private:
  HFONT base_;
  fw::UniqueFont temporary_;
};

// Where the caption's text goes: DrawText centres single lines only, so word-wrapped,
// vertically centred text is measured with the font selected into `dc` and centred here.
RECT CaptionTextRect(HDC dc, const CPopupItem& item) noexcept;

}  // namespace zandle::popup
