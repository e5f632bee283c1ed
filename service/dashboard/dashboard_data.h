// Figures the overview page and the summary export show, gathered in one pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dashboard/dashboard_filter.h"
#include "store/dashboard_queries.h"
#include "store/database.h"

namespace zandle::service {

// Satisfaction levels as the survey buttons number them: 满意, 一般, 不满意.
inline constexpr std::int32_t kLowestSatisfactionLevel = 1;
inline constexpr std::int32_t kHighestSatisfactionLevel = 3;

// Rows of each list on a page: enough to read, few enough that a page stays small.
inline constexpr std::size_t kFunctionsPerPage = 10;
inline constexpr std::size_t kRecentLogLines = 20;
inline constexpr std::size_t kLogLinesPerPage = 50;
inline constexpr std::size_t kToolsPerPage = 50;
inline constexpr std::size_t kToolChoices = 25;
inline constexpr std::size_t kLogTextChars = 400;

struct DayFigures {
  std::int64_t day = 0;
  std::int64_t sessions = 0;
  std::int64_t distinctUsers = 0;
  std::optional<std::int64_t> medianSessionMillis;
};

struct DashboardData {
  DashboardFilter filter;
  std::int64_t openSessions = 0;
  std::int64_t sessionsInPeriod = 0;
  std::optional<std::int64_t> medianSessionMillis;
  std::vector<DayFigures> days;  // every day of the period, empty ones included
  std::vector<FunctionRow> functions;  // one page
  bool moreFunctions = false;
  std::vector<LogRow> logLines;  // the most recent
  bool moreLogLines = false;
  std::vector<ToolRow> toolChoices;  // for the tool selector
};

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter);

// Sessions per day and over the whole period, for the page and the summary export.
void loadSessionFigures(DashboardQueries& queries, DashboardData& data);

}  // namespace zandle::service
