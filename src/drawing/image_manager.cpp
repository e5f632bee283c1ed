#include "drawing/image_manager.h"

#include <cstdlib>
#include <new>

namespace zandle::drawing {
namespace {

constexpr UINT kSmallestWidth = 0;
constexpr UINT kLargestWidth = 1;
constexpr size_t kCommandBuckets = 127;

}  // namespace

CImageManagerIconSet::~CImageManagerIconSet() {
  for (auto& [width, icon] : icons_) icon->InternalRelease();
}

CImageManagerIcon* CImageManagerIconSet::FindIcon(UINT width) const noexcept {
  const auto found = icons_.find(width);
  return found == icons_.end() ? nullptr : found->second;
}

CImageManagerIcon* CImageManagerIconSet::GetIcon(UINT width, bool scaled) const noexcept {
  if (icons_.empty()) return nullptr;
  if (width == kSmallestWidth) return icons_.begin()->second;
  if (width == kLargestWidth) return icons_.rbegin()->second;
  if (CImageManagerIcon* exact = FindIcon(width)) return exact;
  if (!scaled) return nullptr;
  CImageManagerIcon* best = nullptr;
  long long bestDistance = 0;
  for (const auto& [key, icon] : icons_) {
    const long long distance = std::llabs(static_cast<long long>(key) - static_cast<long long>(width));
    if (!best || distance < bestDistance) {
      best = icon;
      bestDistance = distance;
    }
  }
  return best;
}

CImageManagerIcon* CImageManagerIconSet::CreateIcon(UINT width) noexcept {
  if (CImageManagerIcon* existing = FindIcon(width)) return existing;
  auto* icon = new (std::nothrow) CImageManagerIcon(id_, static_cast<int>(width), this);
  if (!icon) return nullptr;
  try {
    icons_.emplace(width, icon);
  } catch (const std::bad_alloc&) {
    icon->InternalRelease();
    return nullptr;
  }
  return icon;
}

void CImageManagerIconSet::RemoveIcon(UINT width) noexcept {
  const auto found = icons_.find(width);
  if (found == icons_.end()) return;
  found->second->ClearAll();
  found->second->InternalRelease();
  icons_.erase(found);
}

bool CImageManagerIconSet::SetStateIcon(StateSetter setter, CImageManagerIconImage& image, UINT width) noexcept {
  const bool existed = FindIcon(width) != nullptr;
  CImageManagerIcon* icon = CreateIcon(width);
  if (!icon) return false;
  if ((icon->*setter)(image)) return true;
  if (!existed) RemoveIcon(width);
  return false;
}

bool CImageManagerIconSet::SetIcon(CImageManagerIconImage& image, UINT width) noexcept {
  return SetStateIcon(&CImageManagerIcon::SetIcon, image, width);
}
bool CImageManagerIconSet::SetDisabledIcon(CImageManagerIconImage& image, UINT width) noexcept {
  return SetStateIcon(&CImageManagerIcon::SetDisabledIcon, image, width);
}
bool CImageManagerIconSet::SetHotIcon(CImageManagerIconImage& image, UINT width) noexcept {
  return SetStateIcon(&CImageManagerIcon::SetHotIcon, image, width);
}
bool CImageManagerIconSet::SetCheckedIcon(CImageManagerIconImage& image, UINT width) noexcept {
  return SetStateIcon(&CImageManagerIcon::SetCheckedIcon, image, width);
}
bool CImageManagerIconSet::SetPressedIcon(CImageManagerIconImage& image, UINT width) noexcept {
  return SetStateIcon(&CImageManagerIcon::SetPressedIcon, image, width);
}

void CImageManagerIconSet::RefreshAll() noexcept {
  for (auto& [width, icon] : icons_) icon->ClearGeneratedDisabled();
}

void CImageManagerIconSet::ClearIconImages() noexcept {
  for (auto& [width, icon] : icons_) icon->ClearAll();
}

bool CImageManager::SetIcon(CImageManagerIconImage& image, UINT commandId, SIZE size, int state) noexcept {
  if (image.IsEmpty()) return false;
  if (size.cx == 0 && size.cy == 0) size = image.GetExtent();
  if (size.cx == 0 && size.cy == 0) return false;
  const UINT width = static_cast<UINT>(size.cx);

  if (CImageManagerIconSet* set = GetIconSet(commandId)) {
    switch (state) {
      case kImageNormal: return set->SetIcon(image, width);
      case kImageDisabled: return set->SetDisabledIcon(image, width);
      case kImageHot: return set->SetHotIcon(image, width);
      case kImageChecked: return set->SetCheckedIcon(image, width);
      case kImagePressed: return set->SetPressedIcon(image, width);
      default: return true;
    }
  }
  if (state != kImageNormal) return false;

  fw::RefHolder<CImageManagerIconSet> set(new (std::nothrow) CImageManagerIconSet(commandId, this));
  if (!set || !set->SetIcon(image, width)) return false;
  try {
    if (iconSets_.empty()) iconSets_.reserve(kCommandBuckets);
    iconSets_.emplace(commandId, set.get());
  } catch (const std::bad_alloc&) {
    set->ClearIconImages();
    return false;
  }
  set.release();
  return true;
}

CImageManagerIconSet* CImageManager::GetIconSet(UINT commandId) const noexcept {
  const auto found = iconSets_.find(commandId);
  return found == iconSets_.end() ? nullptr : found->second;
}

CImageManagerIcon* CImageManager::GetImage(UINT commandId, int width) const noexcept {
  const CImageManagerIconSet* set = GetIconSet(commandId);
  return set ? set->GetIcon(static_cast<UINT>(width), true) : nullptr;
}

CImageManagerResource* CImageManager::GetImageResource(int cx, int cy) noexcept {
  const std::uint32_t key = ResourceKey(cx, cy);
  try {
    auto& strip = imageResources_[key];
    if (!strip) strip.reset(new CImageManagerResource(this, cx, cy));
    return strip.get();
  } catch (const std::bad_alloc&) {
    imageResources_.erase(key);
    return nullptr;
  }
}

void CImageManager::DiscardImageResourceIfEmpty(int cx, int cy) noexcept {
  const auto found = imageResources_.find(ResourceKey(cx, cy));
  if (found != imageResources_.end() && found->second->UsedSlotCount() == 0 && !found->second->HasBitmaps())
    imageResources_.erase(found);
}

void CImageManager::RemoveIconSet(UINT commandId) noexcept {
  const auto found = iconSets_.find(commandId);
  if (found == iconSets_.end()) return;
  found->second->ClearIconImages();
  found->second->InternalRelease();
  iconSets_.erase(found);
}

void CImageManager::RemoveAll() noexcept {
  // Pictures first, so that every strip slot is given back before the strips go.
  for (auto& [id, set] : iconSets_) set->ClearIconImages();
  for (auto& [id, set] : iconSets_) set->InternalRelease();
  iconSets_.clear();
  imageResources_.clear();
}

CImageManager* GetDefaultImageManager() noexcept {
  static fw::RefHolder<CImageManager> manager(new (std::nothrow) CImageManager);
  return manager.get();
}

}  // namespace zandle::drawing
