#include "popup/core/dpi_scale.h"

#include <cstdint>

namespace zandle::popup {
namespace {

// floor(numerator / denominator) for a positive denominator.
std::int64_t FloorDiv(std::int64_t numerator, std::int64_t denominator) noexcept {
  const std::int64_t q = numerator / denominator;
  return (numerator % denominator != 0 && numerator < 0) ? q - 1 : q;
}

constexpr int kMaxDpi = 96 * 16;

}  // namespace

int UsableDpi(int dpi) noexcept { return dpi > 0 && dpi <= kMaxDpi ? dpi : kBaseDpi; }

int ScaleEdge(int value, int dpi) noexcept {
  dpi = UsableDpi(dpi);
  // value * dpi / 96 + 1/2, floored: all in integers, twice over to keep the half exact.
  return SaturateToInt(FloorDiv(2 * static_cast<std::int64_t>(value) * dpi + kBaseDpi, 2 * kBaseDpi));
}

int UnscaleEdge(int value, int dpi) noexcept {
  dpi = UsableDpi(dpi);
  return SaturateToInt(FloorDiv(2 * static_cast<std::int64_t>(value) * kBaseDpi + dpi, 2 * static_cast<std::int64_t>(dpi)));
}

Rect ScaleRect(const Rect& rect, int dpi) noexcept {
  return {ScaleEdge(rect.left, dpi), ScaleEdge(rect.top, dpi), ScaleEdge(rect.right, dpi), ScaleEdge(rect.bottom, dpi)};
}

Point ScalePoint(Point point, int dpi) noexcept { return {ScaleEdge(point.x, dpi), ScaleEdge(point.y, dpi)}; }

Size ScaleSize(Size size, int dpi) noexcept { return {ScaleEdge(size.cx, dpi), ScaleEdge(size.cy, dpi)}; }

int ScaleFontHeight(int height, int dpi) noexcept {
  if (height >= 0) return ScaleEdge(height, dpi);
  return -ScaleEdge(height == INT_MIN ? INT_MAX : -height, dpi);
}

int RescaleFontHeight(int height, int fromDpi, int toDpi) noexcept {
  fromDpi = UsableDpi(fromDpi);
  toDpi = UsableDpi(toDpi);
  const std::int64_t magnitude = height < 0 ? -static_cast<std::int64_t>(height) : height;
  const std::int64_t scaled = FloorDiv(2 * magnitude * toDpi + fromDpi, 2 * static_cast<std::int64_t>(fromDpi));
  return SaturateToInt(height < 0 ? -scaled : scaled);
}

int PictureScaleIndex(int dpi) noexcept {
  dpi = UsableDpi(dpi);
  constexpr int kCount = static_cast<int>(sizeof(kPictureScalePercents) / sizeof(kPictureScalePercents[0]));
  for (int i = 0; i < kCount; ++i)
    if (dpi * 100 <= kPictureScalePercents[i] * kBaseDpi) return i;
  return kCount - 1;
}

unsigned PictureResourceId(unsigned id, int index) noexcept {
  constexpr int kCount = static_cast<int>(sizeof(kPictureScalePercents) / sizeof(kPictureScalePercents[0]));
  return index > 0 && index < kCount ? id + 1000u * static_cast<unsigned>(index) : id;
}

int PictureSide(int side, int index) noexcept {
  constexpr int kCount = static_cast<int>(sizeof(kPictureScalePercents) / sizeof(kPictureScalePercents[0]));
  if (index <= 0 || index >= kCount) return side;
  return SaturateToInt(FloorDiv(2 * static_cast<std::int64_t>(side) * kPictureScalePercents[index] + 100, 200));
}

}  // namespace zandle::popup
