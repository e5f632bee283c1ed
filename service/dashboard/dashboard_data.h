// Figures the overview page and the summary export show, gathered in one
// store job: each with the same figure for the period before, of the same length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dashboard/dashboard_filter.h"
#include "dashboard/slot_series.h"
#include "store/dashboard_queries.h"
#include "store/database.h"

namespace zandle::service {

// Satisfaction levels as the survey buttons number them: 满意, 一般, 不满意.
inline constexpr std::int32_t kLowestSatisfactionLevel = 1;
inline constexpr std::int32_t kHighestSatisfactionLevel = 3;
// Log lines of this level are errors.
inline constexpr std::int32_t kErrorLevel = 0;

// Rows of each list on a page: enough to read, few enough that a page stays small.
inline constexpr std::size_t kFunctionsPerPage = 10;
inline constexpr std::size_t kVersionsPerPage = 10;
inline constexpr std::size_t kErrorsPerPage = 10;
inline constexpr std::size_t kLogLinesPerPage = 50;
inline constexpr std::size_t kToolsPerPage = 30;
inline constexpr std::size_t kToolChoices = 25;
inline constexpr std::size_t kLogTextChars = 400;

// A figure in the period and in the period before.
template <typename Value>
struct Compared {
  Value now{};
  Value before{};
};

// The share of answers at level 1 (满意), the satisfaction score; nothing without answers.
std::optional<double> satisfactionScore(const LevelCounts& counts);

struct HeadlineFigures {
  std::int64_t openSessions = 0;
  Compared<std::int64_t> sessions;
  Compared<std::int64_t> users;
  Compared<double> dailyUsers;    // average over the days
  Compared<std::int64_t> weeklyUsers;   // the last 7 days of the period
  Compared<std::int64_t> monthlyUsers;  // the last 30 days
  Compared<std::optional<std::int64_t>> medianSessionMillis;
  Compared<LevelCounts> satisfaction;
  Compared<std::int64_t> errors;
};

struct FunctionTrend {
  FunctionRow row;
  LevelCounts previous;
  std::vector<LevelCounts> buckets;  // per trend bucket
};

struct VersionFigures {
  VersionRow row;
  std::int64_t previousSessions = 0;
  LevelCounts satisfaction;
  std::int64_t errors = 0;
};

struct DayFigures {
  Bucket bucket;
  SessionFigures figures;
};

struct DashboardData {
  DashboardFilter filter;
  HeadlineFigures headline;
  std::vector<Bucket> activity;  // hours or days
  std::vector<SessionFigures> activityFigures;
  std::vector<SessionFigures> previousActivity;  // the same buckets one period earlier
  std::vector<Bucket> weeks, months;
  std::vector<std::int64_t> weeklyUsers, monthlyUsers;
  std::vector<Bucket> trend;  // days or weeks
  std::vector<LevelCounts> trendSatisfaction;
  std::vector<FunctionTrend> functions;  // one page
  bool moreFunctions = false;
  std::vector<VersionFigures> versions;  // one page
  bool moreVersions = false;
  std::vector<std::vector<std::pair<std::int32_t, std::int64_t>>> logVolume;  // per activity bucket
  std::vector<LogLevelName> levelNames;
  std::vector<LogRow> errors;  // level 0, newest first, one page
  bool moreErrors = false;
  std::vector<ToolRow> toolChoices;
  std::vector<std::string> timeZones;
  bool usersEstimated = false;           // some user figure is a HyperLogLog estimate
  std::optional<int> countingPercent;    // older records still being counted
};

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter);

// The half hours behind every figure of a page: the period, the one before and the last 60 days.
SlotSeries loadSeries(TallyQueries& tallies, const DashboardFilter& filter);
// Sessions per local day of the period, for the summary export.
std::vector<DayFigures> loadDays(SlotSeries& series, const DashboardFilter& filter);
FunctionRow functionRow(const KeyedTally& tally);
// Functions with the most answers first.
std::vector<FunctionRow> functionRows(TallyQueries& tallies, const Scope& scope, std::size_t offset,
                                      std::size_t limit);

// The tool's level names, else the default configuration's, else the built-in ones.
std::vector<LogLevelName> levelNamesFor(DashboardQueries& queries, const std::optional<std::string>& tool);
std::vector<LogLevelName> builtInLevelNames();

}  // namespace zandle::service
