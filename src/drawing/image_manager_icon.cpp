#include "drawing/image_manager_icon.h"

#include "drawing/gdi_objects.h"
#include "drawing/image_manager.h"
#include "drawing/pixel_math.h"

namespace zandle::drawing {

CImageManagerIcon::CImageManagerIcon(UINT id, int width, CImageManagerIconSet* set) noexcept
    : id_(id), width_(width), set_(set) {
  CImageManager* const manager = set ? set->GetManager() : nullptr;
  for (CImageManagerIconImage* image : {&normal_, &hot_, &checked_, &pressed_, &disabled_, &generatedDisabled_})
    image->SetManager(manager);
}

void CImageManagerIcon::ClearAll() noexcept {
  for (CImageManagerIconImage* image : {&normal_, &hot_, &checked_, &pressed_, &disabled_, &generatedDisabled_})
    image->Clear();
}

bool CImageManagerIcon::SetIcon(CImageManagerIconImage& image) noexcept {
  ClearAll();
  const bool copied = normal_.CopyHandle(image);
  const SIZE extent = normal_.GetExtent();
  width_ = extent.cx;
  height_ = extent.cy;
  if (set_) set_->RefreshAll();
  return copied;
}

bool CImageManagerIcon::SetStateIcon(CImageManagerIconImage& target, CImageManagerIconImage& image) noexcept {
  generatedDisabled_.Clear();
  return target.CopyHandle(image);
}

bool CImageManagerIcon::SetHotIcon(CImageManagerIconImage& image) noexcept { return SetStateIcon(hot_, image); }
bool CImageManagerIcon::SetCheckedIcon(CImageManagerIconImage& image) noexcept {
  return SetStateIcon(checked_, image);
}
bool CImageManagerIcon::SetPressedIcon(CImageManagerIconImage& image) noexcept {
  return SetStateIcon(pressed_, image);
}
bool CImageManagerIcon::SetDisabledIcon(CImageManagerIconImage& image) noexcept {
  return SetStateIcon(disabled_, image);
}

CImageManagerIconImage& CImageManagerIcon::GetHotIcon() noexcept { return hot_.IsEmpty() ? normal_ : hot_; }
CImageManagerIconImage& CImageManagerIcon::GetCheckedIcon() noexcept {
  return checked_.IsEmpty() ? GetHotIcon() : checked_;
}
CImageManagerIconImage& CImageManagerIcon::GetPressedIcon() noexcept {
  return pressed_.IsEmpty() ? GetHotIcon() : pressed_;
}

CImageManagerIconImage& CImageManagerIcon::GetDisabledIcon(bool create) noexcept {
  if (!disabled_.IsEmpty()) return disabled_;
  if (generatedDisabled_.IsEmpty() && create) CreateDisabledIcon(kNoColor, kNoColor);
  return generatedDisabled_;
}

bool CImageManagerIcon::CreateDisabledIcon(Color lightColor, Color darkColor) noexcept {
  if (!generatedDisabled_.IsEmpty()) return true;
  CImageManagerIconImage work;
  if (!work.CopyHandle(normal_)) return false;
  if (!DisableIconPixels(work, lightColor, darkColor)) return false;
  const bool copied = generatedDisabled_.CopyHandle(work);
  work.Clear();
  return copied;
}

bool CImageManagerIcon::DisableIconPixels(CImageManagerIconImage& image, Color lightColor, Color darkColor) noexcept {
  if (image.IsAlpha()) {
    BYTE* bits = image.PreMultiply();
    if (!bits) return false;
    const SIZE extent = image.GetExtent();
    DisablePremultipliedPixels(bits, static_cast<size_t>(extent.cx) * extent.cy, lightColor, darkColor);
    return true;
  }
  ICONINFO info{};
  if (!image.GetIconHandle() || !::GetIconInfo(image.GetIconHandle(), &info)) return false;
  const fw::UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
  if (!color || !mask) return false;
  const SIZE extent = BitmapExtent(color.get());
  {
    const fw::UniqueMemoryDC colorDC = CreateMemoryDC(nullptr);
    const fw::UniqueMemoryDC maskDC = CreateMemoryDC(nullptr);
    if (!colorDC || !maskDC) return false;
    fw::ScopedSelectObject selectColor(colorDC.get(), color.get());
    fw::ScopedSelectObject selectMask(maskDC.get(), mask.get());
    for (int x = 0; x < extent.cx; ++x)
      for (int y = 0; y < extent.cy; ++y) {
        if (::GetPixel(maskDC.get(), x, y) != RGB(0, 0, 0)) continue;
        const COLORREF pixel = ::GetPixel(colorDC.get(), x, y);
        ::SetPixel(colorDC.get(), x, y,
                   DisabledColor(GetRValue(pixel), GetGValue(pixel), GetBValue(pixel), lightColor, darkColor));
      }
  }
  info.fIcon = TRUE;
  fw::UniqueIcon disabled = CreateIconChecked(info);
  if (!disabled) return false;
  image.AdoptIcon(std::move(disabled), image.GetExtent());
  return true;
}

void CImageManagerIcon::Draw(HDC dc, POINT point, CImageManagerIconImage& image, SIZE size) noexcept {
  if (size.cx == 0) size.cx = width_;
  if (size.cy == 0) {
    if (width_ == 0) return;  // no extent to keep proportions with
    size.cy = size.cx * height_ / width_;
  }
  image.Draw(dc, point, size);
}

}  // namespace zandle::drawing
