#include "drawing/paint_manager_color.h"

#include <cstdint>

#include "drawing/byte_archive.h"

namespace zandle::drawing {

void CPaintManagerColor::Serialize(ByteArchive& archive) {
  if (archive.IsStoring()) {
    archive.Write32(standardValue);
    archive.Write32(userValue);
    return;
  }
  std::uint32_t standard = 0, user = 0;
  if (archive.Read32(standard) && archive.Read32(user)) {
    standardValue = standard;
    userValue = user;
  }
}

void CPaintManagerColorGradient::Serialize(ByteArchive& archive) {
  if (archive.IsStoring()) {
    startColor.Serialize(archive);
    endColor.Serialize(archive);
    archive.WriteFloat(middleWeight);
    return;
  }
  // Loaded into a copy first, so that a truncated stream does not leave half a gradient.
  CPaintManagerColorGradient loaded;
  loaded.startColor.Serialize(archive);
  loaded.endColor.Serialize(archive);
  if (archive.ReadFloat(loaded.middleWeight) && !archive.Failed()) {
    startColor = loaded.startColor;
    endColor = loaded.endColor;
    middleWeight = loaded.middleWeight;
  }
}

void CPaintManagerColorGradient::SetStandardColors(Color start, Color end, float weight) noexcept {
  startColor.standardValue = start;
  endColor.standardValue = end;
  middleWeight = weight;
}

void CPaintManagerColorGradient::CopyStandardFrom(const CPaintManagerColorGradient& other) noexcept {
  SetStandardColors(other.startColor.Effective(), other.endColor.Effective(), other.middleWeight);
}

}  // namespace zandle::drawing
