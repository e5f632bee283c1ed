#include "dashboard/slot_series.h"

#include <algorithm>

namespace zandle::service {

SlotSeries::SlotSeries(std::vector<SlotTally> slots, const TimeZone& zone) : slots_(std::move(slots)), zone_(zone) {}

std::pair<std::size_t, std::size_t> SlotSeries::indexes(TimeRange range) const {
  const std::int64_t from = floorTo(range.fromMillis, kSlotMillis);
  const auto start = [](const SlotTally& slot, std::int64_t at) { return slot.slotMs < at; };
  const auto first = std::lower_bound(slots_.begin(), slots_.end(), from, start);
  const auto last = std::lower_bound(first, slots_.end(), range.toMillis, start);
  return {static_cast<std::size_t>(first - slots_.begin()), static_cast<std::size_t>(last - slots_.begin())};
}

SlotTotals SlotSeries::totals(TimeRange range) const {
  SlotTotals totals;
  const auto [first, last] = indexes(range);
  for (std::size_t i = first; i < last; ++i) {
    const SlotTally& slot = slots_[i];
    totals.sessions += slot.sessions;
    totals.closed += slot.closed;
    for (std::size_t level = 0; level < kLevelColumns; ++level) totals.lines[level] += slot.lines[level];
    for (std::size_t answer = 0; answer < 3; ++answer) totals.answers.levels[answer] += slot.answers.levels[answer];
    totals.answers.other += slot.answers.other;
  }
  return totals;
}

template <typename Sketch>
Sketch SlotSeries::merged(TimeRange range, Sketch SlotTally::*member, std::map<std::int64_t, Sketch>& days) const {
  Sketch sketch;
  const auto [first, last] = indexes(range);
  const std::int64_t from = floorTo(range.fromMillis, kSlotMillis);
  for (std::size_t i = first; i < last;) {
    // A whole local day from the cache (a day that goes on past the range
    // counts as whole when nothing is stored there yet).
    const std::int64_t day = zone_.localDay(slots_[i].slotMs);
    const std::int64_t dayStart = zone_.dayStart(day), dayEnd = zone_.dayStart(day + 1);
    // The slot must lie within its day, or the walk below would not move on.
    if (dayStart >= from && slots_[i].slotMs < dayEnd &&
        (dayEnd <= range.toMillis || last == slots_.size() || slots_[last].slotMs >= dayEnd)) {
      auto [cached, added] = days.try_emplace(day);
      std::size_t end = i;
      while (end < last && slots_[end].slotMs < dayEnd) ++end;
      if (added) {
        const auto [dayFirst, dayLast] = indexes({dayStart, dayEnd});
        for (std::size_t j = dayFirst; j < dayLast; ++j) cached->second.merge(slots_[j].*member);
      }
      sketch.merge(cached->second);
      i = end;
      continue;
    }
    sketch.merge(slots_[i].*member);
    ++i;
  }
  return sketch;
}

std::int64_t SlotSeries::users(TimeRange range) {
  const UserSketch users = merged(range, &SlotTally::users, dayUsers_);
  estimated_ = estimated_ || users.estimated();
  return users.count();
}

SessionFigures SlotSeries::sessionFigures(TimeRange range) {
  const SlotTotals totals = this->totals(range);
  SessionFigures figures;
  figures.sessions = totals.sessions;
  figures.closed = totals.closed;
  figures.users = users(range);
  figures.medianMillis = merged(range, &SlotTally::lengths, dayLengths_).median();
  return figures;
}

std::vector<std::pair<std::int32_t, std::int64_t>> SlotSeries::logLevels(TimeRange range) const {
  const SlotTotals totals = this->totals(range);
  std::vector<std::pair<std::int32_t, std::int64_t>> levels;
  for (std::size_t level = 0; level < kLevelColumns; ++level) {
    if (totals.lines[level] == 0) continue;
    levels.emplace_back(level + 1 == kLevelColumns ? kOtherLogLevels : static_cast<std::int32_t>(level),
                        totals.lines[level]);
  }
  return levels;
}

}  // namespace zandle::service
