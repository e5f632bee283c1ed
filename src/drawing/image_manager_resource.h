// A strip of equally sized pictures sharing one 32-bit colour bitmap, one monochrome
// mask bitmap and one memory device context, so that GDI use does not grow with the
// number of icons. Freed slots are reused last-freed-first.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/gdi_handles.h"

namespace zandle::drawing {

class CImageManager;
class CImageManagerIconImage;
class CImageManagerResource;

struct IMAGERESOURCE_INFO {
  bool alpha = false;  // premultiplied pixels rather than colour plus mask
  RECT rect{};
  CImageManagerResource* resource = nullptr;
};

class CImageManagerResource {
 public:
  CImageManagerResource(CImageManager* manager, int cx, int cy) noexcept;
  CImageManagerResource(const CImageManagerResource&) = delete;
  CImageManagerResource& operator=(const CImageManagerResource&) = delete;
  ~CImageManagerResource();

  IMAGERESOURCE_INFO* Add(CImageManagerIconImage& image) noexcept;
  void FreeSlot(IMAGERESOURCE_INFO* slot) noexcept;
  bool CopySlotToImage(CImageManagerIconImage& image, IMAGERESOURCE_INFO* slot) noexcept;
  void DrawSlot(HDC dc, IMAGERESOURCE_INFO* slot, POINT point, SIZE size) noexcept;

  int UsedWidth() const noexcept { return usedWidth_; }
  size_t UsedSlotCount() const noexcept { return usedSlots_.size(); }
  size_t FreeSlotCount() const noexcept { return freeSlots_.size(); }
  bool HasBitmaps() const noexcept { return static_cast<bool>(colorStrip_); }
  SIZE SlotSize() const noexcept { return {cx_, cy_}; }

 private:
  // The strip's device context and whatever was selected before the current strip.
  class CBitmapDC {
   public:
    CBitmapDC() noexcept;
    HDC get() const noexcept { return dc_.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(dc_); }

   private:
    fw::UniqueMemoryDC dc_;
  };

  class Lock {
   public:
    explicit Lock(CRITICAL_SECTION& section) noexcept : section_(section) { ::EnterCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock() { ::LeaveCriticalSection(&section_); }

   private:
    CRITICAL_SECTION& section_;
  };

  IMAGERESOURCE_INFO* AllocateSlot() noexcept;
  bool Grow() noexcept;
  bool AddIcon(HICON icon, IMAGERESOURCE_INFO& slot) noexcept;
  void RenderIcon(HICON icon, const RECT& slot) noexcept;
  void CopyIntoSlot(const BYTE* pixels, const RECT& slot) noexcept;
  void CopyFromSlot(BYTE* pixels, const RECT& slot) noexcept;
  void DrawMaskedSlot(HDC dc, const IMAGERESOURCE_INFO& slot, POINT point, SIZE size) noexcept;
  void Empty() noexcept;

  fw::UniqueBitmap colorStrip_;
  fw::UniqueBitmap maskStrip_;
  CBitmapDC bitmapDC_;
  BYTE* stripBits_ = nullptr;
  CImageManager* manager_;
  int cx_;
  int cy_;
  int usedWidth_ = 0;
  std::vector<std::unique_ptr<IMAGERESOURCE_INFO>> usedSlots_;
  std::vector<std::unique_ptr<IMAGERESOURCE_INFO>> freeSlots_;
  CRITICAL_SECTION lock_;
};

}  // namespace zandle::drawing
