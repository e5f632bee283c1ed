// Themable colour values kept by paint managers: a colour with an override, and a
// two-colour gradient with the weight of its start colour at the middle.
#pragma once

#include "drawing/color_functions.h"

namespace zandle::drawing {

class ByteArchive;

class CPaintManagerColor {
 public:
  CPaintManagerColor() noexcept = default;
  virtual ~CPaintManagerColor() = default;
  CPaintManagerColor(const CPaintManagerColor&) = default;
  CPaintManagerColor& operator=(const CPaintManagerColor&) = default;

  Color Effective() const noexcept { return userValue != kNoColor ? userValue : standardValue; }
  operator Color() const noexcept { return Effective(); }

  // standardValue then userValue, 32 bits each. A short load leaves both as they were.
  virtual void Serialize(ByteArchive& archive);

  Color standardValue = kNoColor;
  Color userValue = kNoColor;
};

class CPaintManagerColorGradient {
 public:
  static constexpr float kEvenWeight = 0.5f;

  CPaintManagerColorGradient() noexcept = default;
  virtual ~CPaintManagerColorGradient() = default;
  CPaintManagerColorGradient(const CPaintManagerColorGradient&) = default;
  CPaintManagerColorGradient& operator=(const CPaintManagerColorGradient&) = default;

  // startColor, endColor, then middleWeight as a 32-bit float; all or nothing on load.
  virtual void Serialize(ByteArchive& archive);

  void SetStandardColors(Color start, Color end, float weight = kEvenWeight) noexcept;
  void SetStandardColor(Color color) noexcept { SetStandardColors(color, color, kEvenWeight); }
  void CopyStandardFrom(const CPaintManagerColorGradient& other) noexcept;

  CPaintManagerColor startColor;
  CPaintManagerColor endColor;
  float middleWeight = kEvenWeight;
};

}  // namespace zandle::drawing
