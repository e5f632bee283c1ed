#include "dashboard/dashboard_data.h"

#include <algorithm>

#include "common/clock.h"

namespace zandle::service {
namespace {

constexpr std::int64_t kWeekMillis = 7 * kMillisPerDay;
constexpr std::int64_t kMonthMillis = 30 * kMillisPerDay;

Scope shifted(const Scope& scope, std::int64_t by) {
  return {{scope.range.fromMillis - by, scope.range.toMillis - by}, scope.model};
}

// The `length` ending with the period, and the `length` before that.
Compared<std::int64_t> usersInLast(DashboardQueries& queries, const DashboardFilter& filter, std::int64_t length) {
  const Scope last{{std::max(filter.toMillis - length, std::int64_t{0}), filter.toMillis}, filter.tool};
  return {queries.sessionFigures(last).users, queries.sessionFigures(shifted(last, length)).users};
}

template <typename Row>
bool cutToPage(std::vector<Row>& rows, std::size_t perPage) {
  const bool more = rows.size() > perPage;
  if (more) rows.resize(perPage);
  return more;
}

void loadHeadline(DashboardQueries& queries, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  HeadlineFigures& headline = data.headline;
  headline.openSessions = queries.openSessions(filter.tool);
  const SessionFigures now = queries.sessionFigures(filter.scope());
  const SessionFigures before = queries.sessionFigures(filter.previousScope());
  headline.sessions = {now.sessions, before.sessions};
  headline.users = {now.users, before.users};
  headline.medianSessionMillis = {now.medianMillis, before.medianMillis};
  headline.weeklyUsers = usersInLast(queries, filter, kWeekMillis);
  headline.monthlyUsers = usersInLast(queries, filter, kMonthMillis);
  headline.satisfaction = {queries.satisfactionLevels(filter.scope()),
                           queries.satisfactionLevels(filter.previousScope())};
  headline.errors = {queries.logLineCount(filter.scope(), kErrorLevel),
                     queries.logLineCount(filter.previousScope(), kErrorLevel)};
}

void loadActivity(DashboardQueries& queries, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  const std::int64_t length = filter.toMillis - filter.fromMillis;
  data.activity = filter.activityBuckets();
  for (const Bucket& bucket : data.activity) {
    data.activityFigures.push_back(queries.sessionFigures({bucket.range, filter.tool}));
    data.previousActivity.push_back(queries.sessionFigures(shifted({bucket.range, filter.tool}, length)));
    data.logVolume.push_back(queries.logLevelCounts({bucket.range, filter.tool}));
  }
  // Daily users averaged over the days; the chart's buckets are the days unless they are hours.
  const std::vector<Bucket> days = filter.days();
  const bool daily = days.size() == data.activity.size();
  Compared<std::int64_t> sum;
  for (std::size_t i = 0; i < days.size(); ++i) {
    sum.now += daily ? data.activityFigures[i].users : queries.sessionFigures({days[i].range, filter.tool}).users;
    sum.before += daily ? data.previousActivity[i].users
                        : queries.sessionFigures(shifted({days[i].range, filter.tool}, length)).users;
  }
  const double count = static_cast<double>(std::max<std::size_t>(1, days.size()));
  data.headline.dailyUsers = {static_cast<double>(sum.now) / count, static_cast<double>(sum.before) / count};
  data.weeks = filter.weeks();
  for (const Bucket& week : data.weeks) data.weeklyUsers.push_back(queries.sessionFigures({week.range, filter.tool}).users);
  data.months = filter.months();
  for (const Bucket& month : data.months) {
    data.monthlyUsers.push_back(queries.sessionFigures({month.range, filter.tool}).users);
  }
}

void loadSatisfaction(DashboardQueries& queries, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  data.trend = filter.trendBuckets();
  for (const Bucket& bucket : data.trend) data.trendSatisfaction.push_back(queries.satisfactionLevels({bucket.range, filter.tool}));
  std::vector<FunctionRow> rows =
      queries.functions(filter.scope(), filter.functionPage * kFunctionsPerPage, kFunctionsPerPage + 1);
  data.moreFunctions = cutToPage(rows, kFunctionsPerPage);
  std::vector<ToolAnd> keys;
  for (const FunctionRow& row : rows) keys.emplace_back(row.model, row.function);
  const auto lookup = [](const auto& counts, const ToolAnd& key) {
    for (const auto& [found, value] : counts) {
      if (found == key) return value;
    }
    return LevelCounts{};
  };
  const auto previous = queries.satisfactionLevelsBy(filter.previousScope(), "function", keys);
  std::vector<std::vector<std::pair<ToolAnd, LevelCounts>>> perBucket;
  for (const Bucket& bucket : data.trend) {
    perBucket.push_back(queries.satisfactionLevelsBy({bucket.range, filter.tool}, "function", keys));
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FunctionTrend& trend = data.functions.emplace_back();
    trend.row = rows[i];
    trend.previous = lookup(previous, keys[i]);
    for (const auto& bucket : perBucket) trend.buckets.push_back(lookup(bucket, keys[i]));
  }
}

void loadVersions(DashboardQueries& queries, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  std::vector<VersionRow> rows =
      queries.versions(filter.scope(), filter.versionPage * kVersionsPerPage, kVersionsPerPage + 1);
  data.moreVersions = cutToPage(rows, kVersionsPerPage);
  std::vector<ToolAnd> keys;
  for (const VersionRow& row : rows) keys.emplace_back(row.model, row.version);
  const auto previous = queries.sessionsByVersion(filter.previousScope(), keys);
  const auto satisfaction = queries.satisfactionLevelsBy(filter.scope(), "version", keys);
  const auto errors = queries.logLinesByVersion(filter.scope(), kErrorLevel, keys);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    VersionFigures& figures = data.versions.emplace_back();
    figures.row = rows[i];
    for (const auto& [key, count] : previous) figures.previousSessions += key == keys[i] ? count : 0;
    for (const auto& [key, counts] : satisfaction) {
      if (key == keys[i]) figures.satisfaction = counts;
    }
    for (const auto& [key, count] : errors) figures.errors += key == keys[i] ? count : 0;
  }
}

}  // namespace

std::optional<double> satisfactionScore(const LevelCounts& counts) {
  if (counts.total() == 0) return std::nullopt;
  return static_cast<double>(counts.levels[0]) / static_cast<double>(counts.total());
}

std::vector<LogLevelName> builtInLevelNames() {
  return {{0, "Error", "#d0473c"}, {1, "Warning", "#e0a030"}, {2, "Info", "#2f6db5"}, {3, "Debug", "#8a96a3"}};
}

std::vector<LogLevelName> levelNamesFor(DashboardQueries& queries, const std::optional<std::string>& tool) {
  if (tool) {
    if (auto names = queries.logLevelNames(*tool); !names.empty()) return names;
  }
  if (auto names = queries.logLevelNames(""); !names.empty()) return names;
  return builtInLevelNames();
}

std::vector<DayFigures> loadDays(DashboardQueries& queries, const DashboardFilter& filter) {
  std::vector<DayFigures> days;
  for (const Bucket& day : filter.days()) days.push_back({day, queries.sessionFigures({day.range, filter.tool})});
  return days;
}

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter) {
  DashboardData data;
  data.filter = filter;
  DashboardQueries queries(database.sqlConnection());
  loadHeadline(queries, data);
  loadActivity(queries, data);
  loadSatisfaction(queries, data);
  loadVersions(queries, data);
  data.levelNames = levelNamesFor(queries, filter.tool);
  LogFilter errors{filter.scope(), kErrorLevel, filter.search};
  data.errors = queries.logPage(errors, filter.errorPage * kErrorsPerPage, kErrorsPerPage + 1, kLogTextChars);
  data.moreErrors = cutToPage(data.errors, kErrorsPerPage);
  data.toolChoices = queries.tools(std::nullopt, 0, kToolChoices);
  data.timeZones = TimeZone::offered();
  return data;
}

}  // namespace zandle::service
