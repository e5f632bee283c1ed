// One picture of the icon store: a classic icon, a 32-bit alpha bitmap, or a slot in a
// shared strip. A plain value; owning images destroy what they hold when cleared.
#pragma once

#include <windows.h>

#include "framework/gdi_handles.h"

namespace zandle::drawing {

class CImageManager;
struct IMAGERESOURCE_INFO;

class CImageManagerIconImage {
 public:
  CImageManagerIconImage() noexcept = default;
  // Lends the handle: the image does not destroy it.
  CImageManagerIconImage(HICON icon, bool useStrips) noexcept;
  explicit CImageManagerIconImage(HBITMAP bitmap) noexcept;
  CImageManagerIconImage(const CImageManagerIconImage&) = delete;
  CImageManagerIconImage& operator=(const CImageManagerIconImage&) = delete;
  ~CImageManagerIconImage() { Clear(); }

  // Clear, then hold and own the handle.
  void SetIcon(HICON icon) noexcept;
  void SetAlphaBitmap(HBITMAP bitmap) noexcept;
  // Makes this image an owning copy of `source`, packed into a strip of this image's
  // manager when both allow it. False when nothing could be copied.
  bool CopyHandle(CImageManagerIconImage& source) noexcept;
  void Clear() noexcept;

  bool IsEmpty() const noexcept;
  bool IsAlpha() const noexcept;
  SIZE GetExtent() const noexcept { return {cx_, cy_}; }
  // The premultiplied pixels, converting the alpha bitmap once; null without one.
  BYTE* PreMultiply() noexcept;
  void Draw(HDC dc, POINT point, SIZE size) noexcept;

  HICON GetIconHandle() const noexcept { return icon_; }
  HBITMAP GetAlphaBitmap() const noexcept { return alphaBitmap_; }
  IMAGERESOURCE_INFO* GetSlot() const noexcept { return slot_; }
  BYTE* PremultipliedBits() const noexcept { return premultipliedBits_; }
  bool OwnsHandles() const noexcept { return ownsHandles_; }
  CImageManager* GetManager() const noexcept { return manager_; }
  void SetManager(CImageManager* manager) noexcept { manager_ = manager; }
  bool UsesStrips() const noexcept { return useStrips_; }
  void SetUseStrips(bool useStrips) noexcept { useStrips_ = useStrips; }

  // Used by strips and by conversions: takes ownership of what it is given.
  void AdoptIcon(fw::UniqueIcon icon, SIZE extent) noexcept;
  void AdoptAlphaBitmap(fw::UniqueBitmap bitmap, BYTE* premultipliedBits, SIZE extent) noexcept;

 private:
  bool PlainCopy(CImageManagerIconImage& source) noexcept;
  bool StripCopy(CImageManagerIconImage& source) noexcept;
  void DrawAlphaBitmap(HDC dc, POINT point, SIZE size) noexcept;

  HICON icon_ = nullptr;
  HBITMAP alphaBitmap_ = nullptr;
  BYTE* premultipliedBits_ = nullptr;
  bool ownsHandles_ = false;
  CImageManager* manager_ = nullptr;
  IMAGERESOURCE_INFO* slot_ = nullptr;
  int cx_ = 0;
  int cy_ = 0;
  bool useStrips_ = true;
  fw::UniqueIcon ownedIcon_;
  fw::UniqueBitmap ownedBitmap_;
};

// The extent of an icon (its colour bitmap, or half its mask) or of a bitmap.
SIZE IconExtent(HICON icon) noexcept;
SIZE BitmapExtent(HBITMAP bitmap) noexcept;

// A copy of a 32-bit bitmap as a new DIB section; null for other depths.
fw::UniqueBitmap Copy32BppBitmap(HBITMAP bitmap, BYTE** bits, SIZE* extent) noexcept;

}  // namespace zandle::drawing
