// Figures the dashboard and the summary export show, gathered in one pass.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dashboard/dashboard_filter.h"
#include "store/database.h"

namespace zandle::service {

// Satisfaction levels as the survey buttons number them: 满意, 一般, 不满意.
inline constexpr std::int32_t kLowestSatisfactionLevel = 1;
inline constexpr std::int32_t kHighestSatisfactionLevel = 3;

struct DayFigures {
  std::int64_t day = 0;
  std::int64_t sessions = 0;
  std::int64_t distinctUsers = 0;
  std::optional<std::int64_t> medianSessionMillis;
};

struct FunctionFigures {
  std::string model;
  std::string function;
  std::int64_t reports = 0;  // each report follows one use of the function
  std::array<std::int64_t, kHighestSatisfactionLevel> levels{};  // levels 1..3
  std::int64_t otherLevels = 0;
};

struct DashboardData {
  DashboardFilter filter;
  std::int64_t openSessions = 0;
  std::int64_t sessionsInPeriod = 0;
  std::optional<std::int64_t> medianSessionMillis;
  std::vector<DayFigures> days;  // every day of the period, empty ones included
  std::vector<FunctionFigures> functions;
  std::vector<StoredLogLine> logLines;
  std::vector<ToolConfig> configs;
  std::vector<std::string> modelsSeen;
};

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter);

}  // namespace zandle::service
