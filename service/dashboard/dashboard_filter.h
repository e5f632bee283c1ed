// What the dashboard and the exports are asked to show, from the query string:
// a period in the viewer's time zone, compared with the period of the same
// length before it, one tool or all, and the page of each list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dashboard/time_zone.h"
#include "store/dashboard_queries.h"
#include "store/records.h"

namespace zandle::service {

inline constexpr std::int64_t kHalfHourMillis = 30 * 60 * 1000;

enum class RangePreset { Hours24, Days7, Days30, Days90, Custom };

// A stretch of a chart: its instants and how the axis names it.
struct Bucket {
  TimeRange range;
  std::string label;
};

struct DashboardFilter {
  RangePreset preset = RangePreset::Days30;
  const TimeZone* zone = &TimeZone::utc();
  std::int64_t nowMillis = 0;
  std::int64_t fromMillis = 0;  // the period, [from, to)
  std::int64_t toMillis = 0;
  std::int64_t fromDay = 0;  // local days the date fields show, inclusive
  std::int64_t toDay = 0;
  std::optional<std::string> tool;
  std::optional<std::int32_t> level;
  std::optional<std::string> search;
  std::size_t page = 0;          // of the page's main list
  std::size_t functionPage = 0;  // of the satisfaction table
  std::size_t versionPage = 0;
  std::size_t errorPage = 0;
  std::optional<std::size_t> limit;  // rows of an export; all when nothing

  // Values that do not parse fall back to the defaults: the last 30 days,
  // every tool and level. Without "tz", `defaultZone` applies.
  static DashboardFilter fromQuery(std::string_view query, std::int64_t nowMillis,
                                   const TimeZone& defaultZone = TimeZone::utc());

  TimeRange range() const { return {fromMillis, toMillis}; }
  // The period's length taken up to whole half hours (the counts' step), so
  // the period before starts where a half hour does.
  std::int64_t comparedLength() const { return (toMillis - fromMillis + kHalfHourMillis - 1) / kHalfHourMillis * kHalfHourMillis; }
  TimeRange previousRange() const { return {fromMillis - comparedLength(), fromMillis}; }
  Scope scope() const { return {range(), tool}; }
  Scope previousScope() const { return {previousRange(), tool}; }
  LogFilter logFilter() const { return {scope(), level, search}; }

  // The local days of the period, labelled "YYYY-MM-DD".
  std::vector<Bucket> days() const;
  // Hours for a day or two, days beyond.
  std::vector<Bucket> activityBuckets() const;
  // Days up to two weeks, weeks beyond: answers are few, a day of them says little.
  std::vector<Bucket> trendBuckets() const;
  // Weeks from Monday and calendar months that meet the period, cut to it.
  std::vector<Bucket> weeks() const;
  std::vector<Bucket> months() const;

  // "30 days", "24 hours": the length of the period.
  std::string lengthText() const;
  // The filter again as a query string, page numbers left out, for links.
  std::string toQuery() const;
  // The same with another preset (or dates for Custom).
  std::string queryWithPreset(RangePreset other) const;
};

std::string_view presetName(RangePreset preset);

}  // namespace zandle::service
