#include "drawing/pixel_math.h"

#include <cmath>

namespace zandle::drawing {
namespace {

constexpr int kOpaque = 255;
constexpr double kRedLuminance = 0.299;
constexpr double kGreenLuminance = 0.587;
constexpr double kBlueLuminance = 0.114;
constexpr double kGreyGamma = 0.5;
constexpr double kGreyAlphaScale = 1.0;

constexpr int kBlue = 0, kGreen = 1, kRed = 2, kAlpha = 3;

double Luminance(int red, int green, int blue) noexcept {
  return (kRedLuminance * red + kGreenLuminance * green + kBlueLuminance * blue) / 255;
}

int Grey(double luminance) noexcept { return static_cast<int>(std::pow(luminance, kGreyGamma) * 255); }

int Between(int dark, int light, double luminance) noexcept {
  return static_cast<int>(dark * (1 - luminance) + light * luminance);
}

bool GreyMode(Color light, Color dark) noexcept { return light == kNoColor || dark == kNoColor; }

}  // namespace

bool PremultiplyPixels(std::uint8_t* bgra, std::size_t pixelCount) noexcept {
  bool hasAlpha = false;
  for (std::size_t i = 0; i < pixelCount; ++i, bgra += 4) {
    const unsigned alpha = bgra[kAlpha];
    if (alpha != 0) hasAlpha = true;
    bgra[kBlue] = static_cast<std::uint8_t>(bgra[kBlue] * alpha / kOpaque);
    bgra[kGreen] = static_cast<std::uint8_t>(bgra[kGreen] * alpha / kOpaque);
    bgra[kRed] = static_cast<std::uint8_t>(bgra[kRed] * alpha / kOpaque);
  }
  return hasAlpha;
}

void BlendPremultipliedRow(const std::uint8_t* source, bool sourceReversed, const std::uint8_t* background,
                           bool backgroundReversed, std::uint8_t* result, int width) noexcept {
  const int sourceStep = sourceReversed ? -4 : 4;
  const int backgroundStep = backgroundReversed ? -4 : 4;
  const std::uint8_t* s = sourceReversed ? source + 4 * (width - 1) : source;
  const std::uint8_t* b = backgroundReversed ? background + 4 * (width - 1) : background;
  for (int x = 0; x < width; ++x, s += sourceStep, b += backgroundStep, result += 4) {
    const unsigned keep = kOpaque - s[kAlpha];
    // A source that is not truly premultiplied would overflow the byte; saturate as
    // the platform's AlphaBlend does.
    for (int c = kBlue; c <= kRed; ++c) {
      const unsigned v = b[c] * keep / kOpaque + s[c];
      result[c] = static_cast<std::uint8_t>(v > kOpaque ? kOpaque : v);
    }
    result[kAlpha] = 0;
  }
}

Color DisabledColor(int red, int green, int blue, Color light, Color dark) noexcept {
  const double l = Luminance(red, green, blue);
  if (GreyMode(light, dark)) {
    const int g = Grey(l);
    return MakeColor(g, g, g);
  }
  return MakeColor(Between(RedOf(dark), RedOf(light), l), Between(GreenOf(dark), GreenOf(light), l),
                   Between(BlueOf(dark), BlueOf(light), l));
}

void DisablePremultipliedPixels(std::uint8_t* bgra, std::size_t pixelCount, Color light, Color dark) noexcept {
  const bool grey = GreyMode(light, dark);
  for (std::size_t i = 0; i < pixelCount; ++i, bgra += 4) {
    const int a = bgra[kAlpha];
    if (a == 0) continue;
    // A channel above its alpha is not premultiplied data; keep it within a byte.
    auto straight = [a](int channel) { return channel >= a ? kOpaque : channel * kOpaque / a; };
    const int red = straight(bgra[kRed]), green = straight(bgra[kGreen]), blue = straight(bgra[kBlue]);
    const Color c = DisabledColor(red, green, blue, light, dark);
    const int alpha = grey ? static_cast<int>(a / kGreyAlphaScale) : a;
    bgra[kRed] = static_cast<std::uint8_t>(RedOf(c) * alpha / kOpaque);
    bgra[kGreen] = static_cast<std::uint8_t>(GreenOf(c) * alpha / kOpaque);
    bgra[kBlue] = static_cast<std::uint8_t>(BlueOf(c) * alpha / kOpaque);
  }
}

}  // namespace zandle::drawing
