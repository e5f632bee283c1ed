#include "popup/popup_item.h"

#include <commctrl.h>

#include "drawing/gdi_objects.h"
#include "drawing/image_manager.h"
#include "framework/module.h"
#include "popup/core/dpi_scale.h"

namespace zandle::popup {
namespace {

constexpr int kStateNormal = 1;
constexpr int kStateHot = 2;
constexpr int kStatePressed = 4;
constexpr LONG kWeightBold = 700;
constexpr LONG kWeightNormal = 400;

int ImageStateFor(int itemState) noexcept {
  if (itemState == kStateNormal) return drawing::kImageNormal;
  if (itemState == kStateHot) return drawing::kImageHot;
  return drawing::kImageChecked;  // the picture a pressed item shows
}

}  // namespace

CaptionFont::CaptionFont(HFONT base, bool underline, bool bold, bool adjust) noexcept : base_(base) {
  LOGFONTW description{};
  if (!adjust || !base || ::GetObjectW(base, sizeof(description), &description) != sizeof(description)) return;
  description.lfUnderline = underline ? 1 : 0;
  description.lfWeight = bold ? kWeightBold : kWeightNormal;
  temporary_ = drawing::CreateFontChecked(description);
}

CPopupItem::CPopupItem(const RECT& rect, const wchar_t* text, drawing::Color background, drawing::Color border)
    : itemRect(rect), caption(text ? text : L""), backgroundColor(background), borderColor(border) {}

void CPopupItem::Draw(HDC dc) noexcept {
  if (owner) owner->DrawItem(dc, *this);
}

HFONT CPopupItem::GetTextFont() const noexcept {
  if (captionFont || !owner) return captionFont.get();
  return owner->GetDefaultTextFont();
}

bool CPopupItem::IsHot() const noexcept { return owner && owner->GetItemState(this).hot; }
bool CPopupItem::IsPressed() const noexcept { return owner && owner->GetItemState(this).pressed; }

void CPopupItem::RedrawItem() noexcept {
  if (owner) owner->RedrawControl();
}

void CPopupItem::SetTextFont(const LOGFONTW& logFont) noexcept {
  captionFont.reset();
  captionFont = drawing::CreateFontChecked(logFont);
  RedrawItem();
}

bool CPopupItem::SetIcon(HICON icon, int state) noexcept {
  if (!owner || !icon) return false;
  drawing::CImageManager& manager = owner->GetImageManager();
  drawing::CImageManagerIconImage image(icon, manager.useStrips);
  return manager.SetIcon(image, IconKey(), SIZE{0, 0}, ImageStateFor(state));
}

bool CPopupItem::SetIcons(UINT bitmapId, COLORREF maskColor, int states) noexcept {
  picture_ = {bitmapId, false, 0, maskColor, states};
  return LoadPictures();
}

bool CPopupItem::SetIconResource(UINT iconId, int size) noexcept {
  picture_ = {iconId, true, size, 0, kStateNormal};
  return LoadPictures();
}

void CPopupItem::ScalePictures(int dpi) noexcept {
  const int scale = PictureScaleIndex(dpi);
  if (!picture_.id || !owner || scale == pictureScale_) return;
  pictureScale_ = scale;
  owner->GetImageManager().RemoveIconSet(IconKey());
  LoadPictures();
  if (centredIcon_) CenterIcon();
}

bool CPopupItem::LoadPictures() noexcept {
  const HMODULE module = fw::ThisModule();
  // A scale missing from the module falls back to the 1x picture.
  const UINT ids[] = {PictureResourceId(picture_.id, pictureScale_), picture_.id};
  if (picture_.icon) {
    for (int i = 0; i < 2; ++i) {
      const int side = PictureSide(picture_.size, i == 0 ? pictureScale_ : 0);
      const fw::UniqueIcon icon(
          static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(ids[i]), IMAGE_ICON, side, side, 0)));
      if (icon) return SetIcon(icon.get(), kStateNormal);
    }
    return false;
  }
  fw::UniqueBitmap bitmap(::LoadBitmapW(module, MAKEINTRESOURCEW(ids[0])));
  if (!bitmap) bitmap.reset(::LoadBitmapW(module, MAKEINTRESOURCEW(ids[1])));
  if (!bitmap) return false;
  const int states = picture_.states;
  const COLORREF maskColor = picture_.mask;
  const int present[] = {states & kStateNormal, states & kStateHot, states & kStatePressed};
  int count = 0;
  for (int bit : present) count += bit ? 1 : 0;
  if (count == 0) return true;  // nothing asked for

  BITMAP info{};
  if (!::GetObjectW(bitmap.get(), sizeof(info), &info)) return false;
  const int frameWidth = info.bmWidth / count;
  fw::UniqueImageList list(::ImageList_Create(frameWidth, info.bmHeight, ILC_COLOR24 | ILC_MASK, 0, 1));
  if (!list || ::ImageList_AddMasked(list.get(), bitmap.get(), maskColor) < 0) return false;
  int frame = 0;
  for (int bit : present) {
    if (!bit) continue;
    const fw::UniqueIcon icon(::ImageList_GetIcon(list.get(), frame++, ILD_NORMAL));
    if (icon) SetIcon(icon.get(), bit);
  }
  return true;
}

drawing::CImageManagerIcon* CPopupItem::GetImage() const noexcept {
  if (!owner) return nullptr;
  return owner->GetImageManager().GetImage(IconKey(), itemRect.right - itemRect.left);
}

void CPopupItem::CenterIcon() noexcept {
  centredIcon_ = true;
  iconOffset = POINT{0, 0};
  const drawing::CImageManagerIcon* image = GetImage();
  if (!image) return;
  const int w = itemRect.right - itemRect.left, h = itemRect.bottom - itemRect.top;
  const int iw = image->GetWidth(), ih = image->GetHeight();
  if (iw < w) iconOffset.x = w / 2 - iw / 2;
  if (ih < h) iconOffset.y = h / 2 - ih / 2;
}

SIZE CPopupItem::MeasureCaption(const RECT& bounds) const noexcept {
  RECT measured = bounds;
  const fw::UniqueWindowDC screen = fw::GetWindowDC(nullptr);
  if (!screen) return SIZE{0, 0};
  const CaptionFont font(GetTextFont(), hyperlink != FALSE, bold != FALSE, hyperlink || bold);
  fw::ScopedSelectObject select(screen.get().dc, font.get());
  ::DrawTextW(screen.get().dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
              textFormat | DT_CALCRECT);
  return SIZE{measured.right - measured.left, measured.bottom - measured.top};
}

void CPopupItem::FitHeight() noexcept {
  if (const drawing::CImageManagerIcon* image = GetImage()) {
    itemRect.bottom = itemRect.top + image->GetHeight();
    return;
  }
  itemRect.bottom = itemRect.top + MeasureCaption(RECT{0, 0, itemRect.right - itemRect.left, 0}).cy;
}

void CPopupItem::FitWidth() noexcept {
  if (const drawing::CImageManagerIcon* image = GetImage()) {
    itemRect.right = itemRect.left + image->GetWidth();
    return;
  }
  if (textFormat & DT_WORDBREAK) return;
  const LONG tw = MeasureCaption(RECT{0, 0, 0, itemRect.bottom - itemRect.top}).cx;
  if (textFormat & DT_RIGHT) {
    itemRect.left = itemRect.right - tw;
  } else if (textFormat & DT_CENTER) {
    itemRect.left = (itemRect.right - itemRect.left) / 2 + itemRect.left - tw / 2;
    itemRect.right = itemRect.left + tw;
  } else {
    itemRect.right = itemRect.left + tw;
  }
}

RECT CaptionTextRect(HDC dc, const CPopupItem& item) noexcept {
  RECT t = item.itemRect;
  if ((item.textFormat & DT_WORDBREAK) && (item.textFormat & DT_VCENTER)) {
    RECT measured{t.left, 0, t.right, 0};
    ::DrawTextW(dc, item.caption.c_str(), static_cast<int>(item.caption.size()), &measured,
                item.textFormat | DT_CALCRECT);
    t.top = (t.top + t.bottom - (measured.bottom - measured.top)) / 2;
  }
  return t;
}

}  // namespace zandle::popup
