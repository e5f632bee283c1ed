#include "drawing/image_manager_icon_image.h"

#include <cstdlib>
#include <cstring>

#include "drawing/alpha_blend.h"
#include "drawing/draw_helpers.h"
#include "drawing/gdi_objects.h"
#include "drawing/image_manager.h"
#include "drawing/image_manager_resource.h"
#include "drawing/pixel_math.h"

namespace zandle::drawing {

SIZE IconExtent(HICON icon) noexcept {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return {0, 0};
  const fw::UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
  if (color) return BitmapExtent(color.get());
  const SIZE m = BitmapExtent(mask.get());
  return {m.cx, m.cy / 2};  // a monochrome icon stacks its AND and XOR masks
}

SIZE BitmapExtent(HBITMAP bitmap) noexcept {
  BITMAP bm{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm)) return {0, 0};
  return {bm.bmWidth, std::abs(bm.bmHeight)};
}

fw::UniqueBitmap Copy32BppBitmap(HBITMAP bitmap, BYTE** bits, SIZE* extent) noexcept {
  if (bits) *bits = nullptr;
  if (!bitmap) return {};
  const fw::UniqueWindowDC screen = fw::GetWindowDC(nullptr);
  if (!screen) return {};
  const HDC dc = screen.get().dc;
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  if (!::GetDIBits(dc, bitmap, 0, 0, nullptr, &header, DIB_RGB_COLORS) || header.bmiHeader.biBitCount != 32)
    return {};
  const int width = header.bmiHeader.biWidth, height = std::abs(header.bmiHeader.biHeight);
  BYTE* pixels = nullptr;
  fw::UniqueBitmap copy = Create32BppDIBSection(dc, width, height, &pixels);
  if (!copy) return {};
  BITMAPINFO request{};
  request.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  if (::GetDIBits(dc, bitmap, 0, height, pixels, &request, DIB_RGB_COLORS) != height) return {};
  if (bits) *bits = pixels;
  if (extent) *extent = {width, height};
  return copy;
}

CImageManagerIconImage::CImageManagerIconImage(HICON icon, bool useStrips) noexcept
    : icon_(icon), useStrips_(useStrips) {
  const SIZE extent = IconExtent(icon);
  cx_ = extent.cx;
  cy_ = extent.cy;
}

CImageManagerIconImage::CImageManagerIconImage(HBITMAP bitmap) noexcept : alphaBitmap_(bitmap) {
  const SIZE extent = BitmapExtent(bitmap);
  cx_ = extent.cx;
  cy_ = extent.cy;
}

void CImageManagerIconImage::SetIcon(HICON icon) noexcept {
  Clear();
  AdoptIcon(fw::UniqueIcon(icon), IconExtent(icon));
}

void CImageManagerIconImage::SetAlphaBitmap(HBITMAP bitmap) noexcept {
  Clear();
  const SIZE extent = BitmapExtent(bitmap);
  AdoptAlphaBitmap(fw::UniqueBitmap(bitmap), nullptr, extent);
}

void CImageManagerIconImage::AdoptIcon(fw::UniqueIcon icon, SIZE extent) noexcept {
  Clear();
  ownedIcon_ = std::move(icon);
  icon_ = ownedIcon_.get();
  ownsHandles_ = true;
  cx_ = extent.cx;
  cy_ = extent.cy;
}

void CImageManagerIconImage::AdoptAlphaBitmap(fw::UniqueBitmap bitmap, BYTE* premultipliedBits, SIZE extent) noexcept {
  Clear();
  ownedBitmap_ = std::move(bitmap);
  alphaBitmap_ = ownedBitmap_.get();
  premultipliedBits_ = alphaBitmap_ ? premultipliedBits : nullptr;
  ownsHandles_ = true;
  cx_ = extent.cx;
  cy_ = extent.cy;
}

void CImageManagerIconImage::Clear() noexcept {
  if (ownsHandles_) {
    ownedIcon_.reset();
    ownedBitmap_.reset();
    if (slot_ && slot_->resource) slot_->resource->FreeSlot(slot_);
  }
  icon_ = nullptr;
  alphaBitmap_ = nullptr;
  slot_ = nullptr;
  premultipliedBits_ = nullptr;
  ownsHandles_ = false;
}

bool CImageManagerIconImage::IsEmpty() const noexcept {
  return (!icon_ && !alphaBitmap_ && !slot_) || (cx_ == 0 && cy_ == 0);
}

bool CImageManagerIconImage::IsAlpha() const noexcept { return alphaBitmap_ || (slot_ && slot_->alpha); }

bool CImageManagerIconImage::CopyHandle(CImageManagerIconImage& source) noexcept {
  if (&source == this) return !IsEmpty();  // clearing first would destroy the source
  Clear();
  const bool plain = !manager_ || source.IsEmpty() || !manager_->useStrips || !source.useStrips_;
  const bool copied = plain ? PlainCopy(source) : StripCopy(source);
  useStrips_ = source.useStrips_;
  cx_ = copied ? source.cx_ : 0;
  cy_ = copied ? source.cy_ : 0;
  return copied;
}

bool CImageManagerIconImage::PlainCopy(CImageManagerIconImage& source) noexcept {
  if (source.icon_) {
    fw::UniqueIcon copy = CopyIconChecked(source.icon_);
    if (!copy) return false;
    AdoptIcon(std::move(copy), source.GetExtent());
    return true;
  }
  if (source.alphaBitmap_) {
    BYTE* bits = nullptr;
    SIZE extent{};
    fw::UniqueBitmap copy;
    if (source.premultipliedBits_) {
      // Our own bottom-up DIB section: copy its memory as it is.
      copy = Create32BppDIBSection(nullptr, source.cx_, source.cy_, &bits);
      if (!copy) return false;
      ::GdiFlush();
      std::memcpy(bits, source.premultipliedBits_, static_cast<size_t>(source.cx_) * source.cy_ * 4);
      extent = source.GetExtent();
    } else {
      copy = Copy32BppBitmap(source.alphaBitmap_, &bits, &extent);
      if (!copy) return false;
    }
    AdoptAlphaBitmap(std::move(copy), source.premultipliedBits_ ? bits : nullptr, extent);
    return true;
  }
  if (source.slot_ && source.slot_->resource) return source.slot_->resource->CopySlotToImage(*this, source.slot_);
  return false;
}

bool CImageManagerIconImage::StripCopy(CImageManagerIconImage& source) noexcept {
  CImageManagerResource* strip = manager_->GetImageResource(source.cx_, source.cy_);
  IMAGERESOURCE_INFO* slot = nullptr;
  if (strip) {
    if (source.slot_) {
      CImageManagerIconImage standalone;
      if (standalone.CopyHandle(source)) slot = strip->Add(standalone);
    } else {
      slot = strip->Add(source);
    }
  }
  if (!slot) {
    manager_->DiscardImageResourceIfEmpty(source.cx_, source.cy_);
    return false;
  }
  slot_ = slot;
  ownsHandles_ = true;
  return true;
}

BYTE* CImageManagerIconImage::PreMultiply() noexcept {
  if (premultipliedBits_) return premultipliedBits_;
  if (!alphaBitmap_) return nullptr;
  BYTE* bits = nullptr;
  SIZE extent{};
  fw::UniqueBitmap copy = Copy32BppBitmap(alphaBitmap_, &bits, &extent);
  if (!copy) return nullptr;
  ::GdiFlush();
  PremultiplyPixels(bits, static_cast<size_t>(extent.cx) * extent.cy);
  AdoptAlphaBitmap(std::move(copy), bits, extent);
  return premultipliedBits_;
}

void CImageManagerIconImage::Draw(HDC dc, POINT point, SIZE size) noexcept {
  if (!dc || IsEmpty()) return;
  if (slot_) {
    if (slot_->resource) slot_->resource->DrawSlot(dc, slot_, point, size);
    return;
  }
  if (icon_) {
    if (CDrawHelpers::IsMirroredDC(dc)) {
      point.x += size.cx;
      size.cx = -size.cx;
    }
    ::DrawIconEx(dc, point.x, point.y, icon_, size.cx, size.cy, 0, nullptr, DI_NORMAL);
    return;
  }
  DrawAlphaBitmap(dc, point, size);
}

void CImageManagerIconImage::DrawAlphaBitmap(HDC dc, POINT point, SIZE size) noexcept {
  if (!PreMultiply()) return;
  RECT source{0, 0, cx_, cy_};
  RECT dest{point.x, point.y, point.x + size.cx, point.y + size.cy};
  if (point.y < 0 && size.cy == cy_) {
    // Rows above the context's top are cut off here rather than left to the blend.
    const int visible = point.y + size.cy;
    if (visible <= 0) return;
    source = {0, -point.y, cx_, -point.y + visible};
    dest = {point.x, 0, point.x + size.cx, visible};
  }
  const fw::UniqueMemoryDC memory = CreateMemoryDC(dc);
  if (!memory) return;
  fw::ScopedSelectObject select(memory.get(), alphaBitmap_);
  if (!select.selected()) return;
  BlendAlphaBitmap(dc, dest, memory.get(), source);
}

}  // namespace zandle::drawing
