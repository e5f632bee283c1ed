#include "drawing/color_functions.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include <windows.h>

namespace zandle::drawing {
static_assert(std::is_same_v<Color, COLORREF>);
namespace {

// Channels scaled so that distances follow perceived difference: red 195, green 390,
// blue 65 at full intensity.
constexpr float kToWeightedRed = 0.7647058823529411f;
constexpr float kToWeightedGreen = 1.5294117647058822f;
constexpr float kToWeightedBlue = 0.2549019607843137f;
constexpr float kFromWeightedRed = 1.3076923076923077f;
constexpr float kFromWeightedGreen = 0.6538461538461539f;
constexpr float kFromWeightedBlue = 3.923076923076923f;
constexpr float kMaxWeightedRed = 195.0f;
constexpr float kMaxWeightedGreen = 390.0f;
constexpr float kMaxWeightedBlue = 65.0f;
constexpr float kBrightnessCeiling = 442.0f;
constexpr int kFullBrightnessThreshold = 220;
constexpr float kMinVectorLength = 0.001f;

struct Weighted {
  float r, g, b;
};

Weighted ToWeighted(Color c) noexcept {
  return {static_cast<float>(RedOf(c)) * kToWeightedRed, static_cast<float>(GreenOf(c)) * kToWeightedGreen,
          static_cast<float>(BlueOf(c)) * kToWeightedBlue};
}

// NaN compares false both ways, so it ends at the lower bound instead of reaching a cast.
float ClampFloat(float v, float high) noexcept { return v > 0.0f ? (v < high ? v : high) : 0.0f; }

int BackToChannel(float weighted, float high, float factor) noexcept {
  const int v = static_cast<int>(ClampFloat(weighted, high) * factor + 0.5f);
  return std::clamp(v, 0, 255);
}

Color FromWeighted(Weighted w) noexcept {
  return MakeColor(BackToChannel(w.r, kMaxWeightedRed, kFromWeightedRed),
                   BackToChannel(w.g, kMaxWeightedGreen, kFromWeightedGreen),
                   BackToChannel(w.b, kMaxWeightedBlue, kFromWeightedBlue));
}

Weighted Invert(Weighted w) noexcept {
  return {kMaxWeightedRed - w.r, kMaxWeightedGreen - w.g, kMaxWeightedBlue - w.b};
}

float Dot(Weighted a, Weighted b) noexcept { return a.r * b.r + a.g * b.g + a.b * b.b; }

float Brightness(Color c) noexcept { return ColorDistance(c, 0); }

}  // namespace

Color BlendColors(Color a, Color b, int weight) noexcept {
  const int d = weight < 100 ? 100 : 1000;
  // Out-of-range weights would carry into the neighbouring channel; keep each in a byte.
  auto channel = [&](int ca, int cb) { return std::clamp((weight * ca + (d - weight) * cb + d / 2) / d, 0, 255); };
  return MakeColor(channel(RedOf(a), RedOf(b)), channel(GreenOf(a), GreenOf(b)), channel(BlueOf(a), BlueOf(b)));
}

Color MixColors(Color a, Color b, double fraction) noexcept {
  auto channel = [&](int ca, int cb) {
    const double v = ca * fraction + cb * (1.0 - fraction);
    return v >= 255.0 ? 255 : (v > 0.0 ? static_cast<int>(v) : 0);
  };
  return MakeColor(channel(RedOf(a), RedOf(b)), channel(GreenOf(a), GreenOf(b)), channel(BlueOf(a), BlueOf(b)));
}

float ColorDistanceSquared(Color a, Color b) noexcept {
  const Weighted wa = ToWeighted(a);
  const Weighted wb = ToWeighted(b);
  const float dr = wa.r - wb.r, dg = wa.g - wb.g, db = wa.b - wb.b;
  return dr * dr + dg * dg + db * db;
}

float ColorDistance(Color a, Color b) noexcept { return std::sqrt(ColorDistanceSquared(a, b)); }

float ContrastThreshold(Color background, float required) noexcept {
  const int k = static_cast<int>(Brightness(background));
  const int r = static_cast<int>(required);
  return (2.0f - static_cast<float>(std::min(k, kFullBrightnessThreshold)) / kFullBrightnessThreshold) *
         static_cast<float>(r);
}

bool HasContrast(Color background, Color color, float required) noexcept {
  const float t = ContrastThreshold(background, required);
  return ColorDistanceSquared(background, color) > t * t;
}

Color PullToDistance(Color background, Color color, float required) noexcept {
  const float t = ContrastThreshold(background, required);
  const float d = ColorDistance(background, color);
  if (d <= 0.0f) return color;  // equal colours: no direction to move along
  const float k = (d - t) / d;
  const Weighted wb = ToWeighted(background);
  const Weighted wc = ToWeighted(color);
  return FromWeighted({wc.r + k * (wb.r - wc.r), wc.g + k * (wb.g - wc.g), wc.b + k * (wb.b - wc.b)});
}

Color PushToContrast(Color background, Color color, float required) noexcept {
  const float t = ContrastThreshold(background, required);
  const float ca = Brightness(background);
  const float cb = Brightness(color);
  const float limit = ca < cb ? kBrightnessCeiling - t : t;
  const bool inverted = limit >= ca;

  Weighted a = ToWeighted(background);
  Weighted v = ToWeighted(color);
  if (inverted) {
    a = Invert(a);
    v = Invert(v);
  }
  const float n = std::max(std::sqrt(Dot(v, v)), kMinVectorLength);
  const float av = Dot(a, v);
  const float p = av / (n * n);
  const Weighted w{p * v.r - a.r, p * v.g - a.g, p * v.b - a.b};
  // When the ray never comes within t of the background the root would be imaginary;
  // the nearest point on the ray is the best that can be had.
  const float s = av / n - std::sqrt(std::max(0.0f, t * t - Dot(w, w)));
  Weighted moved{v.r * s / n, v.g * s / n, v.b * s / n};
  if (inverted) moved = Invert(moved);
  return FromWeighted(moved);
}

}  // namespace zandle::drawing
