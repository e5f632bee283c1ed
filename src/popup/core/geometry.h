// Screen geometry of the popup in plain integers (screen coordinates, pixels).
#pragma once

#include <climits>
#include <cstdint>

namespace zandle::popup {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive, as in a window rectangle.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Where an animation ends or what the window shows now: rectangle and alpha.
struct PopupFrame {
  Rect rect;
  int alpha = 0;
  friend bool operator==(const PopupFrame&, const PopupFrame&) = default;
};

// Host-supplied sizes and positions may be extreme; saturate instead of overflowing.
constexpr int SaturateToInt(std::int64_t value) noexcept {
  return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}
constexpr int SaturatingAdd(int a, int b) noexcept {
  return SaturateToInt(static_cast<std::int64_t>(a) + b);
}
constexpr int SaturatingSub(int a, int b) noexcept {
  return SaturateToInt(static_cast<std::int64_t>(a) - b);
}

}  // namespace zandle::popup
