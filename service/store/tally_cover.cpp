#include "store/tally_cover.h"

#include <array>

namespace zandle::service {
namespace {

constexpr std::array<std::int64_t, 3> kSteps = {kSlotMillis, kDayMillisUtc, kBlockMillis};

std::int64_t ceilTo(std::int64_t millis, std::int64_t step) { return -floorTo(-millis, step); }

std::int64_t rowCount(const std::vector<CoverPart>& parts) {
  std::int64_t rows = 0;
  for (const CoverPart& part : parts) rows += (part.to - part.from) / kSteps[static_cast<std::size_t>(part.span)];
  return rows;
}

void append(std::vector<CoverPart>& into, const std::vector<CoverPart>& parts) {
  into.insert(into.end(), parts.begin(), parts.end());
}

std::vector<CoverPart> cover(std::int64_t from, std::int64_t to, std::size_t level, int sign, bool subtract);

// [from, to) lies inside one row of `level` (from aligned to its start or to
// at its end): rows of the levels below, or, when fewer, the whole row less the rest.
std::vector<CoverPart> edge(std::int64_t from, std::int64_t to, std::size_t level, int sign, bool subtract) {
  std::vector<CoverPart> inside = cover(from, to, level - 1, sign, subtract);
  if (!subtract || from >= to) return inside;
  const std::int64_t step = kSteps[level];
  const std::int64_t start = floorTo(from, step), end = ceilTo(to, step);
  std::vector<CoverPart> outside{{static_cast<Span>(level), start, end, sign}};
  append(outside, cover(start, from, level - 1, -sign, subtract));
  append(outside, cover(to, end, level - 1, -sign, subtract));
  return rowCount(outside) < rowCount(inside) ? outside : inside;
}

std::vector<CoverPart> cover(std::int64_t from, std::int64_t to, std::size_t level, int sign, bool subtract) {
  if (from >= to) return {};
  if (level == 0) return {{Span::Slot, from, to, sign}};
  const std::int64_t step = kSteps[level];
  const std::int64_t first = ceilTo(from, step), last = floorTo(to, step);
  if (first >= last) {
    // No whole row inside: one row less both ends, or the part on each side of its boundary.
    if (first == last) {
      std::vector<CoverPart> parts = edge(from, first, level, sign, subtract);
      append(parts, edge(last, to, level, sign, subtract));
      return parts;
    }
    return edge(from, to, level, sign, subtract);
  }
  std::vector<CoverPart> parts = edge(from, first, level, sign, subtract);
  parts.push_back({static_cast<Span>(level), first, last, sign});
  append(parts, edge(last, to, level, sign, subtract));
  return parts;
}

}  // namespace

std::vector<CoverPart> coverRange(std::int64_t from, std::int64_t to, bool subtract) {
  return cover(from, to, kSteps.size() - 1, 1, subtract);
}

}  // namespace zandle::service
