// What the dashboard and the exports are asked to show, from the query string.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/records.h"

namespace zandle::service {

struct DashboardFilter {
  std::int64_t fromDay = 0;  // inclusive, days since the epoch (UTC)
  std::int64_t toDay = 0;    // inclusive
  std::optional<std::string> tool;
  std::optional<std::int32_t> level;
  std::size_t limit = 0;

  // Values that do not parse fall back to the defaults: the last 30 days, every tool and level.
  static DashboardFilter fromQuery(std::string_view query, std::int64_t nowMillis, std::size_t defaultLimit,
                                   std::size_t maxLimit);

  TimeRange range() const;
  LogQuery logQuery() const;
  // The filter again as a query string, for links to exports.
  std::string toQuery() const;
};

}  // namespace zandle::service
