// One size of one command's icon: its normal, hot, checked, pressed and disabled
// pictures, and a disabled picture generated from the normal one when needed.
#pragma once

#include <windows.h>

#include "drawing/color_functions.h"
#include "drawing/image_manager_icon_image.h"
#include "framework/ref_counted.h"

namespace zandle::drawing {

class CImageManagerIconSet;

class CImageManagerIcon : public fw::RefCounted {
 public:
  static constexpr int kInitialHeight = 15;

  // A free-standing icon when `set` is null.
  CImageManagerIcon(UINT id, int width, CImageManagerIconSet* set) noexcept;

  // Each copies `image` into the named picture; false when it could not be copied.
  bool SetIcon(CImageManagerIconImage& image) noexcept;
  bool SetHotIcon(CImageManagerIconImage& image) noexcept;
  bool SetCheckedIcon(CImageManagerIconImage& image) noexcept;
  bool SetPressedIcon(CImageManagerIconImage& image) noexcept;
  bool SetDisabledIcon(CImageManagerIconImage& image) noexcept;

  CImageManagerIconImage& GetIcon() noexcept { return normal_; }
  CImageManagerIconImage& GetHotIcon() noexcept;
  CImageManagerIconImage& GetCheckedIcon() noexcept;
  CImageManagerIconImage& GetPressedIcon() noexcept;
  CImageManagerIconImage& GetDisabledIcon(bool create = true) noexcept;

  // Grey when either colour is kNoColor, else shaded between dark and light.
  bool CreateDisabledIcon(Color lightColor = kNoColor, Color darkColor = kNoColor) noexcept;
  void ClearGeneratedDisabled() noexcept { generatedDisabled_.Clear(); }
  void ClearAll() noexcept;

  int GetWidth() const noexcept { return width_; }
  int GetHeight() const noexcept { return height_; }
  UINT GetID() const noexcept { return id_; }
  SIZE GetExtent() const noexcept { return normal_.GetExtent(); }
  bool IsAlpha() const noexcept { return normal_.IsAlpha(); }

  // A size.cx of 0 is the icon's width; a size.cy of 0 keeps the proportions.
  void Draw(HDC dc, POINT point, CImageManagerIconImage& image, SIZE size) noexcept;
  void Draw(HDC dc, POINT point, SIZE size) noexcept { Draw(dc, point, normal_, size); }
  void Draw(HDC dc, POINT point) noexcept { Draw(dc, point, normal_, {width_, height_}); }

 private:
  ~CImageManagerIcon() override { ClearAll(); }
  bool SetStateIcon(CImageManagerIconImage& target, CImageManagerIconImage& image) noexcept;
  bool DisableIconPixels(CImageManagerIconImage& image, Color lightColor, Color darkColor) noexcept;

  UINT id_;
  int width_;
  int height_ = kInitialHeight;
  CImageManagerIconImage normal_, hot_, checked_, pressed_, disabled_, generatedDisabled_;
  CImageManagerIconSet* set_;
};

}  // namespace zandle::drawing
