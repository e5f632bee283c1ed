// Colour arithmetic over COLORREF values (0x00BBGGRR): blends, weighted colour
// distance and contrast correction. Pure functions with fixed rounding.
#pragma once



namespace zandle::drawing {

using Color = unsigned long;  // same type as COLORREF
inline constexpr Color kNoColor = 0xFFFFFFFFu;

constexpr Color MakeColor(int red, int green, int blue) noexcept {
  return static_cast<Color>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int RedOf(Color c) noexcept { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Color c) noexcept { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Color c) noexcept { return static_cast<int>((c >> 16) & 0xFF); }

// `weight` is a percentage of `a` below 100 and a per-mille value from 100 up.
Color BlendColors(Color a, Color b, int weight) noexcept;
// a × fraction + b × (1 − fraction) per channel, truncated.
Color MixColors(Color a, Color b, double fraction) noexcept;

float ColorDistanceSquared(Color a, Color b) noexcept;
float ColorDistance(Color a, Color b) noexcept;
float ContrastThreshold(Color background, float required) noexcept;
bool HasContrast(Color background, Color color, float required) noexcept;
Color PushToContrast(Color background, Color color, float required) noexcept;
Color PullToDistance(Color background, Color color, float required) noexcept;

}  // namespace zandle::drawing
