// The icon store: icon sets keyed by command identifier, each holding icons keyed by
// width, and the per-size strips their pictures are packed into.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>

#include "drawing/color_functions.h"
#include "drawing/image_manager_icon.h"
#include "drawing/image_manager_icon_image.h"
#include "drawing/image_manager_resource.h"
#include "framework/ref_counted.h"

namespace zandle::drawing {

class CImageManager;

enum ImageState { kImageNormal = 0, kImageDisabled = 1, kImageHot = 2, kImageChecked = 3, kImagePressed = 4 };

class CImageManagerIconSet : public fw::RefCounted {
 public:
  CImageManagerIconSet(UINT id, CImageManager* manager) noexcept : id_(id), manager_(manager) {}

  // Width 0: the smallest; 1: the largest; else that width, or the nearest when scaled.
  CImageManagerIcon* GetIcon(UINT width, bool scaled = true) const noexcept;
  CImageManagerIcon* CreateIcon(UINT width) noexcept;
  CImageManagerIcon* FindIcon(UINT width) const noexcept;
  void RemoveIcon(UINT width) noexcept;

  bool SetIcon(CImageManagerIconImage& image, UINT width) noexcept;
  bool SetDisabledIcon(CImageManagerIconImage& image, UINT width) noexcept;
  bool SetHotIcon(CImageManagerIconImage& image, UINT width) noexcept;
  bool SetCheckedIcon(CImageManagerIconImage& image, UINT width) noexcept;
  bool SetPressedIcon(CImageManagerIconImage& image, UINT width) noexcept;
  void RefreshAll() noexcept;
  void ClearIconImages() noexcept;

  UINT GetID() const noexcept { return id_; }
  CImageManager* GetManager() const noexcept { return manager_; }
  size_t IconCount() const noexcept { return icons_.size(); }

 private:
  ~CImageManagerIconSet() override;
  using StateSetter = bool (CImageManagerIcon::*)(CImageManagerIconImage&) noexcept;
  bool SetStateIcon(StateSetter setter, CImageManagerIconImage& image, UINT width) noexcept;

  std::map<UINT, CImageManagerIcon*> icons_;
  UINT id_;
  CImageManager* manager_;
};

class CImageManager : public fw::RefCounted {
 public:
  CImageManager() noexcept = default;

  bool SetIcon(CImageManagerIconImage& image, UINT commandId, SIZE size, int state) noexcept;
  CImageManagerIcon* GetImage(UINT commandId, int width) const noexcept;
  CImageManagerIconSet* GetIconSet(UINT commandId) const noexcept;
  // Created on first request; null only when memory runs out.
  CImageManagerResource* GetImageResource(int cx, int cy) noexcept;
  // Drops a strip that holds nothing, after a failed first insertion.
  void DiscardImageResourceIfEmpty(int cx, int cy) noexcept;
  // The set and its pictures, as if never set (a picture replaced by one of another size).
  void RemoveIconSet(UINT commandId) noexcept;
  void RemoveAll() noexcept;

  size_t IconSetCount() const noexcept { return iconSets_.size(); }
  size_t ImageResourceCount() const noexcept { return imageResources_.size(); }

  bool useStrips = true;
  Color maskColor = kNoColor;

 private:
  ~CImageManager() override { RemoveAll(); }
  static std::uint32_t ResourceKey(int cx, int cy) noexcept {
    return (static_cast<std::uint32_t>(cy) << 16) | (static_cast<std::uint32_t>(cx) & 0xFFFF);
  }

  std::unordered_map<UINT, CImageManagerIconSet*> iconSets_;
  std::unordered_map<std::uint32_t, std::unique_ptr<CImageManagerResource>> imageResources_;
};

// The process-wide manager: a settings source and the object blending goes through.
CImageManager* GetDefaultImageManager() noexcept;

}  // namespace zandle::drawing
