#include "store/tally_cover.h"

#include <algorithm>
#include <array>

namespace zandle::service {
namespace {

constexpr std::array<std::int64_t, 3> kSteps = {kSlotMillis, kDayMillisUtc, kBlockMillis};

std::int64_t ceilTo(std::int64_t millis, std::int64_t step) { return -floorTo(-millis, step); }

// Rows starting from `emptyFrom` on are known to hold nothing and count as none.
std::int64_t rowCount(const std::vector<CoverPart>& parts, std::int64_t emptyFrom) {
  std::int64_t rows = 0;
  for (const CoverPart& part : parts) {
    const std::int64_t step = kSteps[static_cast<std::size_t>(part.span)];
    const std::int64_t end = emptyFrom >= part.to ? part.to : ceilTo(emptyFrom, step);
    rows += std::max<std::int64_t>(0, end - part.from) / step;
  }
  return rows;
}

void append(std::vector<CoverPart>& into, const std::vector<CoverPart>& parts) {
  into.insert(into.end(), parts.begin(), parts.end());
}

struct Choice {
  bool subtract = false;
  std::int64_t emptyFrom = 0;
};

std::vector<CoverPart> cover(std::int64_t from, std::int64_t to, std::size_t level, int sign, Choice choice);

// [from, to) lies inside one row of `level` (from aligned to its start or to
// at its end): rows of the levels below, or, when fewer, the whole row less the rest.
std::vector<CoverPart> edge(std::int64_t from, std::int64_t to, std::size_t level, int sign, Choice choice) {
  std::vector<CoverPart> inside = cover(from, to, level - 1, sign, choice);
  if (!choice.subtract || from >= to) return inside;
  const std::int64_t step = kSteps[level];
  const std::int64_t start = floorTo(from, step), end = ceilTo(to, step);
  std::vector<CoverPart> outside{{static_cast<Span>(level), start, end, sign}};
  append(outside, cover(start, from, level - 1, -sign, choice));
  append(outside, cover(to, end, level - 1, -sign, choice));
  return rowCount(outside, choice.emptyFrom) < rowCount(inside, choice.emptyFrom) ? outside : inside;
}

std::vector<CoverPart> cover(std::int64_t from, std::int64_t to, std::size_t level, int sign, Choice choice) {
  if (from >= to) return {};
  if (level == 0) return {{Span::Slot, from, to, sign}};
  const std::int64_t step = kSteps[level];
  const std::int64_t first = ceilTo(from, step), last = floorTo(to, step);
  if (first >= last) {
    // No whole row inside: one row less both ends, or the part on each side of its boundary.
    if (first == last) {
      std::vector<CoverPart> parts = edge(from, first, level, sign, choice);
      append(parts, edge(last, to, level, sign, choice));
      return parts;
    }
    return edge(from, to, level, sign, choice);
  }
  std::vector<CoverPart> parts = edge(from, first, level, sign, choice);
  parts.push_back({static_cast<Span>(level), first, last, sign});
  append(parts, edge(last, to, level, sign, choice));
  return parts;
}

}  // namespace

std::vector<CoverPart> coverRange(std::int64_t from, std::int64_t to, bool subtract, std::int64_t emptyFrom) {
  return cover(from, to, kSteps.size() - 1, 1, Choice{subtract, emptyFrom});
}

}  // namespace zandle::service
