// A run of half-hour tallies and the figures of any stretch of it, for the
// charts of one page; users and lengths of whole local days are merged once
// and reused.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "dashboard/time_zone.h"
#include "store/dashboard_queries.h"
#include "store/tally_queries.h"

namespace zandle::service {

struct SlotTotals {
  std::int64_t sessions = 0;
  std::int64_t closed = 0;
  std::array<std::int64_t, kLevelColumns> lines{};
  LevelCounts answers;
};

class SlotSeries {
 public:
  SlotSeries(std::vector<SlotTally> slots, const TimeZone& zone);

  SlotTotals totals(TimeRange range) const;
  std::int64_t users(TimeRange range);
  SessionFigures sessionFigures(TimeRange range);
  // Log lines by level, levels past the named ones together as kOtherLogLevels; only levels with lines.
  std::vector<std::pair<std::int32_t, std::int64_t>> logLevels(TimeRange range) const;
  // Whether a user figure given so far was an estimate.
  bool usersEstimated() const { return estimated_; }

 private:
  // Slots starting in [floor(from), to).
  std::pair<std::size_t, std::size_t> indexes(TimeRange range) const;
  // The range's sketches merged: whole local days from `days`, merged once
  // each, the rest a half hour at a time.
  template <typename Sketch>
  Sketch merged(TimeRange range, Sketch SlotTally::*member, std::map<std::int64_t, Sketch>& days) const;

  std::vector<SlotTally> slots_;
  const TimeZone& zone_;
  std::map<std::int64_t, UserSketch> dayUsers_;
  std::map<std::int64_t, LengthSketch> dayLengths_;
  bool estimated_ = false;
};

}  // namespace zandle::service
