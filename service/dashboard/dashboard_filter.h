// What the dashboard and the exports are asked to show, from the query string.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/dashboard_queries.h"
#include "store/records.h"

namespace zandle::service {

struct DashboardFilter {
  std::int64_t fromDay = 0;  // inclusive, days since the epoch (UTC)
  std::int64_t toDay = 0;    // inclusive
  std::optional<std::string> tool;
  std::optional<std::int32_t> level;
  std::optional<std::string> search;
  std::size_t page = 0;          // of the page's main list
  std::size_t functionPage = 0;  // of the satisfaction table
  std::optional<std::size_t> limit;  // rows of an export; all when nothing

  // Values that do not parse fall back to the defaults: the last 30 days, every tool and level.
  static DashboardFilter fromQuery(std::string_view query, std::int64_t nowMillis);

  TimeRange range() const;
  Scope scope() const { return {range(), tool}; }
  LogFilter logFilter() const { return {scope(), level, search}; }
  // The filter again as a query string, page numbers left out, for links.
  std::string toQuery() const;
};

}  // namespace zandle::service
