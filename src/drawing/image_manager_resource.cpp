#include "drawing/image_manager_resource.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "drawing/alpha_blend.h"
#include "drawing/draw_helpers.h"
#include "drawing/entry_points.h"
#include "drawing/gdi_objects.h"
#include "drawing/image_manager_icon_image.h"
#include "drawing/pixel_math.h"

namespace zandle::drawing {
namespace {

constexpr DWORD kCommonControls6 = 0x0005FFFF;  // versions above this are 6.0 or later
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Restores a device context's text and background colours.
class ScopedTextColors {
 public:
  ScopedTextColors(HDC dc, COLORREF text, COLORREF background) noexcept
      : dc_(dc), text_(::SetTextColor(dc, text)), background_(::SetBkColor(dc, background)) {}
  ScopedTextColors(const ScopedTextColors&) = delete;
  ScopedTextColors& operator=(const ScopedTextColors&) = delete;
  ~ScopedTextColors() {
    ::SetTextColor(dc_, text_);
    ::SetBkColor(dc_, background_);
  }

 private:
  HDC dc_;
  COLORREF text_, background_;
};

void FillBlack(HDC dc, const RECT& r) noexcept { FillSolidRect(dc, r, kBlack); }

}  // namespace

CImageManagerResource::CBitmapDC::CBitmapDC() noexcept : dc_(CreateMemoryDC(nullptr)) {}

CImageManagerResource::CImageManagerResource(CImageManager* manager, int cx, int cy) noexcept
    : manager_(manager), cx_(cx), cy_(cy) {
  ::InitializeCriticalSection(&lock_);
}

CImageManagerResource::~CImageManagerResource() {
  Empty();
  ::DeleteCriticalSection(&lock_);
}

void CImageManagerResource::Empty() noexcept {
  usedSlots_.clear();
  freeSlots_.clear();
  colorStrip_.reset();
  maskStrip_.reset();
  stripBits_ = nullptr;
  usedWidth_ = 0;
}

IMAGERESOURCE_INFO* CImageManagerResource::AllocateSlot() noexcept {
  try {
    if (!freeSlots_.empty()) {
      usedSlots_.push_back(std::move(freeSlots_.back()));
      freeSlots_.pop_back();
      return usedSlots_.back().get();
    }
    auto slot = std::make_unique<IMAGERESOURCE_INFO>();
    usedSlots_.reserve(usedSlots_.size() + 1);  // so that the push below cannot fail
    if (!Grow()) return nullptr;
    slot->rect = {usedWidth_ - cx_, 0, usedWidth_, cy_};
    slot->resource = this;
    usedSlots_.push_back(std::move(slot));
    return usedSlots_.back().get();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool CImageManagerResource::Grow() noexcept {
  if (!bitmapDC_ || cx_ <= 0 || cy_ <= 0) return false;
  const int width = usedWidth_ + cx_;
  BYTE* bits = nullptr;
  fw::UniqueBitmap color = Create32BppDIBSection(nullptr, width, cy_, &bits);
  if (!color) return false;
  fw::UniqueBitmap mask = CreateMonochromeBitmap(width, cy_);
  if (!mask) return false;
  if (colorStrip_) {
    ::GdiFlush();
    const size_t oldStride = static_cast<size_t>(usedWidth_) * 4, newStride = static_cast<size_t>(width) * 4;
    for (int row = 0; row < cy_; ++row) std::memcpy(bits + row * newStride, stripBits_ + row * oldStride, oldStride);
    fw::ScopedSelectObject select(bitmapDC_.get(), mask.get());
    ::DrawStateW(bitmapDC_.get(), nullptr, nullptr, reinterpret_cast<LPARAM>(maskStrip_.get()), 0, 0, 0, 0, 0,
                 DST_BITMAP);
  }
  colorStrip_ = std::move(color);
  maskStrip_ = std::move(mask);
  stripBits_ = bits;
  usedWidth_ = width;
  return true;
}

IMAGERESOURCE_INFO* CImageManagerResource::Add(CImageManagerIconImage& image) noexcept {
  Lock lock(lock_);
  const SIZE extent = image.GetExtent();
  if (image.IsEmpty() || extent.cx != cx_ || extent.cy != cy_ || (!image.GetIconHandle() && !image.GetAlphaBitmap()))
    return nullptr;
  IMAGERESOURCE_INFO* slot = AllocateSlot();
  if (!slot) return nullptr;
  slot->alpha = false;
  if (image.GetIconHandle()) {
    if (!AddIcon(image.GetIconHandle(), *slot)) {
      FreeSlot(slot);
      return nullptr;
    }
    return slot;
  }
  const BYTE* pixels = image.PreMultiply();
  if (!pixels || image.GetExtent().cx != cx_ || image.GetExtent().cy != cy_) {
    FreeSlot(slot);
    return nullptr;
  }
  CopyIntoSlot(pixels, slot->rect);
  slot->alpha = true;
  return slot;
}

bool CImageManagerResource::AddIcon(HICON icon, IMAGERESOURCE_INFO& slot) noexcept {
  ICONINFO info{};
  // Icons carry alpha only from common controls 6 on. Wine answers 5.81 without a
  // manifest but draws alpha icons anyway; we follow Windows' documented versions.
  if (CommonControlsVersion() > kCommonControls6 && ::GetIconInfo(icon, &info)) {
    const fw::UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
    BYTE* bits = nullptr;
    SIZE extent{};
    const fw::UniqueBitmap copy = color ? Copy32BppBitmap(color.get(), &bits, &extent) : fw::UniqueBitmap();
    if (copy && extent.cx == cx_ && extent.cy == cy_) {
      ::GdiFlush();
      if (PremultiplyPixels(bits, static_cast<size_t>(cx_) * cy_)) {
        CopyIntoSlot(bits, slot.rect);
        slot.alpha = true;
        return true;
      }
    }
  }
  RenderIcon(icon, slot.rect);
  return true;
}

void CImageManagerResource::RenderIcon(HICON icon, const RECT& slot) noexcept {
  {
    fw::ScopedSelectObject select(bitmapDC_.get(), colorStrip_.get());
    FillBlack(bitmapDC_.get(), slot);
    ::DrawIconEx(bitmapDC_.get(), slot.left, slot.top, icon, 0, 0, 0, nullptr, DI_NORMAL);
  }
  fw::ScopedSelectObject select(bitmapDC_.get(), maskStrip_.get());
  FillBlack(bitmapDC_.get(), slot);
  ::DrawIconEx(bitmapDC_.get(), slot.left, slot.top, icon, 0, 0, 0, nullptr, DI_MASK);
}

void CImageManagerResource::CopyIntoSlot(const BYTE* pixels, const RECT& slot) noexcept {
  ::GdiFlush();
  const size_t rowBytes = static_cast<size_t>(cx_) * 4, stride = static_cast<size_t>(usedWidth_) * 4;
  for (int row = 0; row < cy_; ++row)
    std::memcpy(stripBits_ + row * stride + slot.left * 4, pixels + row * rowBytes, rowBytes);
}

void CImageManagerResource::CopyFromSlot(BYTE* pixels, const RECT& slot) noexcept {
  ::GdiFlush();
  const size_t rowBytes = static_cast<size_t>(cx_) * 4, stride = static_cast<size_t>(usedWidth_) * 4;
  for (int row = 0; row < cy_; ++row)
    std::memcpy(pixels + row * rowBytes, stripBits_ + row * stride + slot.left * 4, rowBytes);
}

void CImageManagerResource::FreeSlot(IMAGERESOURCE_INFO* slot) noexcept {
  Lock lock(lock_);
  const auto used = std::find_if(usedSlots_.begin(), usedSlots_.end(), [slot](const auto& s) { return s.get() == slot; });
  if (used == usedSlots_.end()) return;  // not ours, or freed already
  try {
    freeSlots_.reserve(freeSlots_.size() + 1);
  } catch (const std::bad_alloc&) {
    return;  // keeps the slot in use rather than losing its record
  }
  freeSlots_.push_back(std::move(*used));
  usedSlots_.erase(used);
  if (static_cast<int>(freeSlots_.size()) * cx_ == usedWidth_) Empty();
}

bool CImageManagerResource::CopySlotToImage(CImageManagerIconImage& image, IMAGERESOURCE_INFO* slot) noexcept {
  Lock lock(lock_);
  image.Clear();
  if (!slot || slot->resource != this || !colorStrip_) return false;
  BYTE* bits = nullptr;
  fw::UniqueBitmap copy = Create32BppDIBSection(nullptr, cx_, cy_, &bits);
  if (!copy) return false;
  CopyFromSlot(bits, slot->rect);
  if (slot->alpha) {
    image.AdoptAlphaBitmap(std::move(copy), bits, {cx_, cy_});
    return true;
  }
  const fw::UniqueBitmap mask = CreateMonochromeBitmap(cx_, cy_);
  const fw::UniqueMemoryDC maskDC = mask ? CreateMemoryDC(nullptr) : fw::UniqueMemoryDC();
  if (!maskDC) return false;
  {
    fw::ScopedSelectObject selectTarget(maskDC.get(), mask.get());
    fw::ScopedSelectObject selectStrip(bitmapDC_.get(), maskStrip_.get());
    ::BitBlt(maskDC.get(), 0, 0, cx_, cy_, bitmapDC_.get(), slot->rect.left, 0, SRCCOPY);
  }
  ICONINFO info{TRUE, 0, 0, mask.get(), copy.get()};
  fw::UniqueIcon icon = CreateIconChecked(info);
  if (!icon) return false;
  image.AdoptIcon(std::move(icon), {cx_, cy_});
  return true;
}

void CImageManagerResource::DrawSlot(HDC dc, IMAGERESOURCE_INFO* slot, POINT point, SIZE size) noexcept {
  Lock lock(lock_);
  if (!dc || !slot || slot->resource != this || !colorStrip_ || !bitmapDC_) return;
  if (slot->alpha) {
    fw::ScopedSelectObject select(bitmapDC_.get(), colorStrip_.get());
    BlendAlphaBitmap(dc, {point.x, point.y, point.x + size.cx, point.y + size.cy}, bitmapDC_.get(),
                     {slot->rect.left, 0, slot->rect.left + cx_, cy_});
    return;
  }
  DrawMaskedSlot(dc, *slot, point, size);
}

void CImageManagerResource::DrawMaskedSlot(HDC dc, const IMAGERESOURCE_INFO& slot, POINT point, SIZE size) noexcept {
  if (CDrawHelpers::IsMirroredDC(dc)) {
    point.x += size.cx;
    size.cx = -size.cx;
  }
  const HDC strip = bitmapDC_.get();
  if (maskStrip_) {
    fw::ScopedSelectObject select(strip, maskStrip_.get());
    ScopedTextColors stripColors(strip, kBlack, kWhite);
    ScopedTextColors destColors(dc, kBlack, kWhite);
    ::StretchBlt(dc, point.x, point.y, size.cx, size.cy, strip, slot.rect.left, 0, cx_, cy_, SRCAND);
  }
  fw::ScopedSelectObject select(strip, colorStrip_.get());
  ::StretchBlt(dc, point.x, point.y, size.cx, size.cy, strip, slot.rect.left, 0, cx_, cy_, SRCINVERT);
}

}  // namespace zandle::drawing
