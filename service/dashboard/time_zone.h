// Time zones the dashboard offers, read from the system's zoneinfo files, so
// days, weeks and months begin at the viewer's midnight, summer time included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zandle::service {

class TimeZone {
 public:
  // The zone of that name when it is one the dashboard offers and the system
  // has it; UTC otherwise.
  static const TimeZone& named(std::string_view name);
  static const TimeZone& utc();
  // Names offered for choice, those the system has.
  static std::vector<std::string> offered();

  const std::string& name() const { return name_; }
  bool isUtc() const { return transitions_.empty() && offsets_.size() == 1 && offsets_[0] == 0; }

  std::int64_t offsetMillis(std::int64_t utcMillis) const;
  // Days since the epoch of the local calendar.
  std::int64_t localDay(std::int64_t utcMillis) const;
  // The instant the local day (or hour) begins.
  std::int64_t dayStart(std::int64_t localDay) const;
  std::int64_t hourStart(std::int64_t utcMillis) const;
  // "2024-05-01 13:45:12" in local time.
  std::string format(std::int64_t utcMillis) const;
  // "UTC+08:00" now, for labels.
  std::string offsetLabel(std::int64_t utcMillis) const;

 private:
  TimeZone(std::string name, std::vector<std::int64_t> transitions, std::vector<std::int32_t> offsets,
           std::int32_t initialOffset);
  static bool load(const std::string& name, TimeZone& zone);

  std::string name_;
  std::vector<std::int64_t> transitions_;  // UTC seconds, ascending
  std::vector<std::int32_t> offsets_;      // seconds east of UTC from each transition on
  std::int32_t initialOffset_ = 0;         // before the first transition
};

// Monday of the week the local day falls in.
std::int64_t weekStartDay(std::int64_t localDay);
// First day of the month the local day falls in, and of the month after.
std::int64_t monthStartDay(std::int64_t localDay);
std::int64_t nextMonthStartDay(std::int64_t localDay);

}  // namespace zandle::service
