#include "dashboard/dashboard_data.h"

#include <algorithm>
#include <future>

#include "common/clock.h"

namespace zandle::service {
namespace {

constexpr std::int64_t kWeekMillis = 7 * kMillisPerDay;
constexpr std::int64_t kMonthMillis = 30 * kMillisPerDay;

TimeRange shifted(TimeRange range, std::int64_t by) { return {range.fromMillis - by, range.toMillis - by}; }

template <typename Row>
bool cutToPage(std::vector<Row>& rows, std::size_t perPage) {
  const bool more = rows.size() > perPage;
  if (more) rows.resize(perPage);
  return more;
}

// The `length` ending with the period, and the `length` before that.
Compared<std::int64_t> usersInLast(SlotSeries& series, const DashboardFilter& filter, std::int64_t length) {
  const TimeRange last{std::max(filter.toMillis - length, std::int64_t{0}), filter.toMillis};
  return {series.users(last), series.users(shifted(last, length))};
}

void loadHeadline(SlotSeries& series, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  HeadlineFigures& headline = data.headline;
  const SessionFigures now = series.sessionFigures(filter.range());
  const SessionFigures before = series.sessionFigures(filter.previousRange());
  headline.sessions = {now.sessions, before.sessions};
  headline.users = {now.users, before.users};
  headline.medianSessionMillis = {now.medianMillis, before.medianMillis};
  headline.weeklyUsers = usersInLast(series, filter, kWeekMillis);
  headline.monthlyUsers = usersInLast(series, filter, kMonthMillis);
  const SlotTotals totals = series.totals(filter.range()), previous = series.totals(filter.previousRange());
  headline.satisfaction = {totals.answers, previous.answers};
  headline.errors = {totals.lines[kErrorLevel], previous.lines[kErrorLevel]};
}

void loadActivity(SlotSeries& series, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  const std::int64_t length = filter.comparedLength();
  data.activity = filter.activityBuckets();
  for (const Bucket& bucket : data.activity) {
    data.activityFigures.push_back(series.sessionFigures(bucket.range));
    data.previousActivity.push_back(series.sessionFigures(shifted(bucket.range, length)));
    data.logVolume.push_back(series.logLevels(bucket.range));
  }
  // Daily users averaged over the days.
  Compared<std::int64_t> sum;
  const std::vector<Bucket> days = filter.days();
  for (const Bucket& day : days) {
    sum.now += series.users(day.range);
    sum.before += series.users(shifted(day.range, length));
  }
  const double count = static_cast<double>(std::max<std::size_t>(1, days.size()));
  data.headline.dailyUsers = {static_cast<double>(sum.now) / count, static_cast<double>(sum.before) / count};
  data.weeks = filter.weeks();
  for (const Bucket& week : data.weeks) data.weeklyUsers.push_back(series.users(week.range));
  data.months = filter.months();
  for (const Bucket& month : data.months) data.monthlyUsers.push_back(series.users(month.range));
}

template <typename Tally>
const Tally* findKey(const std::vector<Tally>& tallies, const ToolAnd& key) {
  for (const Tally& tally : tallies) {
    if (tally.key == key) return &tally;
  }
  return nullptr;
}

void loadFunctions(TallyQueries& tallies, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  data.trend = filter.trendBuckets();
  std::vector<FunctionRow> rows = functionRows(tallies, filter.scope(), filter.functionPage * kFunctionsPerPage,
                                               kFunctionsPerPage + 1);
  data.moreFunctions = cutToPage(rows, kFunctionsPerPage);
  std::vector<ToolAnd> keys;
  for (const FunctionRow& row : rows) keys.emplace_back(row.model, row.function);
  const std::vector<KeyedTally> previous = tallies.functions(filter.previousScope(), keys);
  std::vector<TimeRange> buckets;
  for (const Bucket& bucket : data.trend) buckets.push_back(bucket.range);
  std::vector<std::vector<LevelCounts>> trends = tallies.functionTrends(keys, buckets);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FunctionTrend& trend = data.functions.emplace_back();
    trend.row = rows[i];
    if (const KeyedTally* before = findKey(previous, keys[i])) trend.previous = before->answers;
    trend.buckets = std::move(trends[i]);
  }
}

void loadVersions(DashboardQueries& queries, TallyQueries& tallies, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  std::vector<KeyedTally> top =
      tallies.topVersions(filter.scope(), filter.versionPage * kVersionsPerPage, kVersionsPerPage + 1);
  data.moreVersions = cutToPage(top, kVersionsPerPage);
  std::vector<ToolAnd> keys;
  for (const KeyedTally& tally : top) keys.push_back(tally.key);
  const std::vector<KeyedTally> now = tallies.versions(filter.scope(), keys);
  const std::vector<KeyedTally> previous = tallies.versions(filter.previousScope(), keys);
  for (const KeyedTally& tally : top) {
    VersionFigures& figures = data.versions.emplace_back();
    figures.row.model = tally.key.first;
    figures.row.version = tally.key.second;
    figures.row.sessions = tally.sessions;
    figures.satisfaction = tally.answers;
    figures.errors = tally.errors;
    if (const KeyedTally* users = findKey(now, tally.key)) {
      figures.row.users = users->users.count();
      data.usersEstimated = data.usersEstimated || users->users.estimated();
    }
    if (const KeyedTally* before = findKey(previous, tally.key)) figures.previousSessions = before->sessions;
    figures.row.firstSeenMillis = queries.versionFirstSeen(tally.key);
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

SlotSeries loadSeries(TallyQueries& tallies, const DashboardFilter& filter) {
  // Far enough back for the period before and the 30 days before the last 30.
  const std::int64_t from = std::min(filter.previousRange().fromMillis, filter.toMillis - 2 * kMonthMillis);
  return SlotSeries(tallies.slots(filter.tool, {from, filter.toMillis}), *filter.zone);
}

std::vector<FunctionRow> functionRows(TallyQueries& tallies, const Scope& scope, std::size_t offset,
                                      std::size_t limit) {
  std::vector<FunctionRow> rows;
  for (const KeyedTally& tally : tallies.topFunctions(scope, offset, limit)) rows.push_back(functionRow(tally));
  return rows;
}

FunctionRow functionRow(const KeyedTally& tally) {
  FunctionRow row;
  row.model = tally.key.first;
  row.function = tally.key.second;
  row.levels = tally.answers.levels;
  row.otherLevels = tally.answers.other;
  row.answers = tally.answers.total();
  return row;
}

std::vector<DayFigures> loadDays(SlotSeries& series, const DashboardFilter& filter) {
  std::vector<DayFigures> days;
  for (const Bucket& day : filter.days()) days.push_back({day, series.sessionFigures(day.range)});
  return days;
}

std::vector<LogRow> loadErrors(SqlConnection* sql, const DashboardFilter& filter) {
  const LogFilter errors{filter.scope(), kErrorLevel, filter.search};
  return DashboardQueries(sql).logPage(errors, filter.errorPage * kErrorsPerPage, kErrorsPerPage + 1, kLogTextChars);
}

// What the side connection reads while the reader's own reads the rest.
struct SideReads {
  SlotSeries series;
  std::vector<LogRow> errors;  // when asked for
};

SideReads loadSide(SqlConnection* sql, const DashboardFilter& filter, bool withErrors) {
  TallyQueries tallies(sql);
  SideReads read{loadSeries(tallies, filter), {}};
  if (withErrors) read.errors = loadErrors(sql, filter);
  return read;
}

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter) {
  DashboardData data;
  data.filter = filter;
  // The half hours, most of the page's reading and decoding, come over the
  // side connection meanwhile, and so do the errors when a search makes them
  // slow; the future's end waits for them whatever befalls.
  const bool errorsBeside = filter.search && !filter.search->empty();
  std::future<SideReads> side;
  if (SqlConnection* sideSql = database.sideConnection()) {
    side = std::async(std::launch::async,
                      [sideSql, &filter, errorsBeside] { return loadSide(sideSql, filter, errorsBeside); });
  }
  DashboardQueries queries(database.sqlConnection());
  TallyQueries tallies(database.sqlConnection());
  data.headline.openSessions = tallies.openSessions(filter.tool);
  loadFunctions(tallies, data);
  loadVersions(queries, tallies, data);
  data.countingPercent = tallies.countingPercent();
  data.levelNames = levelNamesFor(queries, filter.tool);
  if (!errorsBeside) data.errors = loadErrors(database.sqlConnection(), filter);
  data.toolChoices = queries.tools(std::nullopt, 0, kToolChoices);
  data.timeZones = TimeZone::offered();

  SideReads read = side.valid() ? side.get() : loadSide(database.sqlConnection(), filter, errorsBeside);
  if (errorsBeside) data.errors = std::move(read.errors);
  data.moreErrors = cutToPage(data.errors, kErrorsPerPage);
  SlotSeries& series = read.series;
  loadHeadline(series, data);
  loadActivity(series, data);
  for (const Bucket& bucket : data.trend) data.trendSatisfaction.push_back(series.totals(bucket.range).answers);
  data.usersEstimated = data.usersEstimated || series.usersEstimated();
  return data;
}

}  // namespace zandle::service
