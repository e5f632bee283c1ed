#include "tally_test_support.h"

#include <algorithm>
#include <ctime>
#include <random>
#include <tuple>

#include "dashboard/dashboard_data.h"
#include "store/sketches.h"
#include "store/store_location.h"
#include "store/tally_queries.h"

namespace zandle::servicetest {

using service::Database;
using service::SqlConnection;
using service::SqlValue;
using service::TimeRange;

std::int64_t at(const char* iso) {
  std::tm parts{};
  strptime(iso, "%Y-%m-%dT%H:%M:%S", &parts);
  return static_cast<std::int64_t>(timegm(&parts)) * 1000;
}

namespace {

std::int64_t floorHalfHour(std::int64_t millis) { return millis - ((millis % kHalfHour) + kHalfHour) % kHalfHour; }

// What a direct count over the records says about one stretch of time.
class DirectCount {
 public:
  DirectCount(SqlConnection& sql, std::optional<std::string> tool) : sql_(sql), tool_(std::move(tool)) {}

  // A range runs from the start of its first half hour to the end of its
  // last, as the dashboard documents (nothing is stored after now there).
  std::vector<std::int64_t> numbers(const std::string& select, const std::string& table, const std::string& time,
                                    TimeRange range, const std::string& more = "") {
    std::vector<SqlValue> parameters{floorHalfHour(range.fromMillis), floorHalfHour(range.toMillis + kHalfHour - 1)};
    std::string sql = select + " FROM " + table + " WHERE " + time + " >= ? AND " + time + " < ?" + more;
    if (tool_) {
      sql += " AND model = ?";
      parameters.emplace_back(*tool_);
    }
    std::vector<std::int64_t> values;
    for (const auto& row : sql_.run(sql, parameters).rows) {
      for (const auto& cell : row) values.push_back(cell ? std::stoll(*cell) : 0);
    }
    return values;
  }

  // Whenever they began.
  std::int64_t openSessions() {
    std::string sql = "SELECT COUNT(*) FROM sessions WHERE left_ms IS NULL";
    std::vector<SqlValue> parameters;
    if (tool_) {
      sql += " AND model = ?";
      parameters.emplace_back(*tool_);
    }
    return std::stoll(sql_.run(sql, parameters).rows.at(0).at(0).value_or("0"));
  }

  service::SessionFigures sessions(TimeRange range) {
    const auto counts = numbers("SELECT COUNT(*), COUNT(DISTINCT uin), COUNT(left_ms)", "sessions", "entered_ms", range);
    service::SessionFigures figures{counts[0], counts[1], counts[2], std::nullopt};
    std::vector<std::int64_t> lengths = numbers(
        "SELECT CASE WHEN left_ms > entered_ms THEN left_ms - entered_ms ELSE 0 END", "sessions", "entered_ms", range,
        " AND left_ms IS NOT NULL");
    std::sort(lengths.begin(), lengths.end());
    if (!lengths.empty()) {
      const std::size_t n = lengths.size();
      const std::int64_t lower = lengths[(n - 1) / 2];
      figures.medianMillis = n % 2 ? lower : lower + (lengths[n / 2] - lower) / 2;
    }
    return figures;
  }
  std::int64_t users(TimeRange range) { return sessions(range).users; }
  std::int64_t lines(TimeRange range, std::int64_t level) {
    return numbers("SELECT COUNT(*)", "log_lines", "received_ms", range, " AND level = " + std::to_string(level))[0];
  }
  std::vector<std::pair<std::int32_t, std::int64_t>> levels(TimeRange range) {
    std::vector<std::pair<std::int32_t, std::int64_t>> levels;
    for (std::int32_t level = 0; level <= 9; ++level) {
      if (const std::int64_t n = lines(range, level)) levels.emplace_back(level, n);
    }
    const std::int64_t other =
        numbers("SELECT COUNT(*)", "log_lines", "received_ms", range, " AND (level < 0 OR level > 9)")[0];
    if (other) levels.emplace_back(service::kOtherLogLevels, other);
    return levels;
  }
  service::LevelCounts answers(TimeRange range, const std::string& more = "") {
    service::LevelCounts counts;
    for (int level = 1; level <= 3; ++level) {
      counts.levels[level - 1] = numbers("SELECT COUNT(*)", "satisfaction", "received_ms", range,
                                         more + " AND level = " + std::to_string(level))[0];
    }
    counts.other = numbers("SELECT COUNT(*)", "satisfaction", "received_ms", range,
                           more + " AND (level < 1 OR level > 3)")[0];
    return counts;
  }

 private:
  SqlConnection& sql_;
  std::optional<std::string> tool_;
};

void expectSame(const service::SessionFigures& shown, const service::SessionFigures& counted, const std::string& where) {
  EXPECT_EQ(shown.sessions, counted.sessions) << where;
  EXPECT_EQ(shown.users, counted.users) << where;
  EXPECT_EQ(shown.closed, counted.closed) << where;
  // Exact over a few thousand sessions; beyond, from bins 2^(1/16) wide.
  if (counted.closed <= static_cast<std::int64_t>(service::kExactLengths * 64) || !counted.medianMillis) {
    EXPECT_EQ(shown.medianMillis, counted.medianMillis) << where;
  } else {
    ASSERT_TRUE(shown.medianMillis) << where;
    EXPECT_NEAR(static_cast<double>(*shown.medianMillis), static_cast<double>(*counted.medianMillis),
                0.022 * static_cast<double>(*counted.medianMillis) + 1000) << where;
  }
}

void expectSame(const service::LevelCounts& shown, const service::LevelCounts& counted, const std::string& where) {
  EXPECT_EQ(shown.levels, counted.levels) << where;
  EXPECT_EQ(shown.other, counted.other) << where;
}

const char* kTools[] = {"Alpha", "Beta", "绘图"};
const char* kVersions[] = {"1.0", "2.0", "2.1"};
const char* kFunctions[] = {"Print", "Save", "Export"};

}  // namespace

void TallyTest::writeRandom(std::int64_t from, std::int64_t days, int sessions, int lines, int answers) {
  std::mt19937 random(17);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const auto moment = [&] { return from + static_cast<std::int64_t>(random() % static_cast<unsigned>(days * kDay)); };
  int pending = 0;
  const auto begin = [&] {
    if (pending++ == 0) database_->begin();
  };
  // Not drawn from `random`: the tests rely on the records it gives.
  int commits = 0, written = 0;
  const auto end = [&] {
    ++written;
    if (pending >= 1 + pick(40)) {
      database_->commit();
      pending = 0;
      // The lines of the first two thirds counted now and then, the rest not: pages read both kinds.
      if (++commits % 4 == 0 && written < (sessions + lines + answers) * 2 / 3) {
        database_->indexToolLines(1 + commits * 37 % 60);
      }
    }
  };
  for (int i = 0; i < sessions + lines + answers; ++i) {
    const std::string tool = kTools[pick(3)], version = kVersions[pick(3)];
    const int uin = 1 + pick(200);
    begin();
    if (i < sessions) {
      const std::int64_t entered = moment();
      const auto id = database_->openSession({uin, tool, std::nullopt, version, tool + "," + version, {entered, "10.0.0.1"}});
      // Most sessions end: some at once, some with a clock a little behind.
      if (pick(10) < 8) {
        const std::int64_t length = pick(8) == 0 ? -pick(5000) : pick(3 * 60) * kMinute + pick(60'000);
        database_->closeSession({id, {entered + length, "10.0.0.1"}});
      }
    } else if (i < sessions + lines) {
      const int levels[] = {0, 0, 1, 2, 3, 12, -5};
      database_->insertLogLine({uin, levels[pick(7)], tool, version, "line", "", {moment(), "10.0.0.1"}});
    } else {
      const int levels[] = {1, 1, 2, 3, 0, 7};
      database_->insertSatisfaction({uin, levels[pick(6)], tool, version, kFunctions[pick(3)], tool + "," + version,
                                     "NULL", {moment(), "10.0.0.1"}});
    }
    end();
  }
  if (pending) database_->commit();
}

std::vector<std::pair<std::string, std::string>> TallyTest::keys(const std::string& column, const std::string& table) {
  std::vector<std::pair<std::string, std::string>> keys;
  for (const auto& row : database_->sqlConnection()->run("SELECT DISTINCT model, " + column + " FROM " + table).rows) {
    keys.emplace_back(row.at(0).value_or(""), row.at(1).value_or(""));
  }
  return keys;
}

void TallyTest::compareOpenSessions(const std::string& query, std::int64_t now) {
  const auto filter = service::DashboardFilter::fromQuery(query, now);
  const service::DashboardData data = service::loadDashboardData(*database_, filter);
  EXPECT_EQ(data.headline.openSessions, DirectCount(*database_->sqlConnection(), filter.tool).openSessions()) << query;
}

void TallyTest::compare(const std::string& query, std::int64_t now) {
  const auto filter = service::DashboardFilter::fromQuery(query, now);
  const std::string where = GetParam() == Backend::Sqlite ? "sqlite " + query : "postgres " + query;
  const service::DashboardData data = service::loadDashboardData(*database_, filter);
  DirectCount count(*database_->sqlConnection(), filter.tool);
  const std::int64_t length = filter.comparedLength();
  const auto shifted = [](TimeRange range, std::int64_t by) { return TimeRange{range.fromMillis - by, range.toMillis - by}; };

  const service::SessionFigures period = count.sessions(filter.range());
  expectSame({data.headline.sessions.now, data.headline.users.now, period.closed,
              data.headline.medianSessionMillis.now},
             period, where + " headline");
  EXPECT_EQ(data.headline.sessions.before, count.sessions(filter.previousRange()).sessions) << where;
  EXPECT_EQ(data.headline.openSessions, count.openSessions()) << where;
  EXPECT_EQ(data.headline.users.before, count.users(filter.previousRange())) << where;
  EXPECT_EQ(data.headline.errors.now, count.lines(filter.range(), 0)) << where;
  EXPECT_EQ(data.headline.errors.before, count.lines(filter.previousRange(), 0)) << where;
  expectSame(data.headline.satisfaction.now, count.answers(filter.range()), where + " answers");
  expectSame(data.headline.satisfaction.before, count.answers(filter.previousRange()), where + " answers before");
  const TimeRange week{filter.toMillis - 7 * kDay, filter.toMillis}, month{filter.toMillis - 30 * kDay, filter.toMillis};
  EXPECT_EQ(data.headline.weeklyUsers.now, count.users(week)) << where;
  EXPECT_EQ(data.headline.weeklyUsers.before, count.users(shifted(week, 7 * kDay))) << where;
  EXPECT_EQ(data.headline.monthlyUsers.now, count.users(month)) << where;
  EXPECT_EQ(data.headline.monthlyUsers.before, count.users(shifted(month, 30 * kDay))) << where;

  ASSERT_EQ(data.activity.size(), data.activityFigures.size());
  for (std::size_t i = 0; i < data.activity.size(); ++i) {
    const TimeRange range = data.activity[i].range;
    const std::string bucket = where + " bucket " + data.activity[i].label;
    expectSame(data.activityFigures[i], count.sessions(range), bucket);
    expectSame(data.previousActivity[i], count.sessions(shifted(range, length)), bucket + " before");
    EXPECT_EQ(data.logVolume[i], count.levels(range)) << bucket;
  }
  double daily = 0;
  for (const auto& day : filter.days()) daily += static_cast<double>(count.users(day.range));
  EXPECT_DOUBLE_EQ(data.headline.dailyUsers.now, daily / static_cast<double>(std::max<std::size_t>(1, filter.days().size()))) << where;
  for (std::size_t i = 0; i < data.weeks.size(); ++i) EXPECT_EQ(data.weeklyUsers[i], count.users(data.weeks[i].range)) << where;
  for (std::size_t i = 0; i < data.months.size(); ++i) EXPECT_EQ(data.monthlyUsers[i], count.users(data.months[i].range)) << where;
  for (std::size_t i = 0; i < data.trend.size(); ++i) {
    expectSame(data.trendSatisfaction[i], count.answers(data.trend[i].range), where + " trend " + data.trend[i].label);
  }

  // Functions: most answered first, each with its trend and the period before.
  std::vector<std::tuple<std::int64_t, std::string, std::string>> functions;
  for (const auto& [tool, function] : keys("function", "satisfaction")) {
    if (filter.tool && *filter.tool != tool) continue;
    {
      const std::string only = " AND model = '" + tool + "' AND function = '" + function + "'";
      const std::int64_t answers = count.answers(filter.range(), only).total();
      if (answers > 0) functions.emplace_back(-answers, tool, function);
    }
  }
  std::sort(functions.begin(), functions.end());
  ASSERT_EQ(data.functions.size(), std::min<std::size_t>(functions.size(), service::kFunctionsPerPage)) << where;
  for (std::size_t i = 0; i < data.functions.size(); ++i) {
    const auto& [negative, tool, function] = functions[i];
    const auto& shown = data.functions[i];
    const std::string only = " AND model = '" + tool + "' AND function = '" + function + "'";
    EXPECT_EQ(shown.row.model, tool) << where;
    EXPECT_EQ(shown.row.function, function) << where;
    EXPECT_EQ(shown.row.answers, -negative) << where;
    expectSame(shown.previous, count.answers(filter.previousRange(), only), where + " " + function + " before");
    for (std::size_t b = 0; b < data.trend.size(); ++b) {
      expectSame(shown.buckets[b], count.answers(data.trend[b].range, only), where + " " + function + " trend");
    }
  }

  // The summary export's functions, read two at a time by key: each once, with its answers.
  std::vector<std::tuple<std::string, std::string, std::int64_t>> everyFunction, exported;
  for (const auto& [negative, tool, function] : functions) everyFunction.emplace_back(tool, function, -negative);
  service::TallyQueries tallies(database_->sqlConnection());
  std::optional<service::ToolAnd> last;
  for (;;) {
    const auto page = tallies.functionsAfter(filter.scope(), last, 2);
    for (const auto& tally : page) exported.emplace_back(tally.key.first, tally.key.second, tally.answers.total());
    if (page.size() < 2) break;
    last = page.back().key;
  }
  std::sort(everyFunction.begin(), everyFunction.end());
  std::sort(exported.begin(), exported.end());
  EXPECT_EQ(exported, everyFunction) << where;

  // Versions: most sessions first.
  std::vector<std::tuple<std::int64_t, std::string, std::string>> versions;
  for (const auto& [tool, version] : keys("version", "sessions")) {
    if (filter.tool && *filter.tool != tool) continue;
    {
      const std::string only = " AND model = '" + tool + "' AND version = '" + version + "'";
      const std::int64_t sessions = count.numbers("SELECT COUNT(*)", "sessions", "entered_ms", filter.range(), only)[0];
      if (sessions > 0) versions.emplace_back(-sessions, tool, version);
    }
  }
  std::sort(versions.begin(), versions.end());
  ASSERT_EQ(data.versions.size(), std::min<std::size_t>(versions.size(), service::kVersionsPerPage)) << where;
  for (std::size_t i = 0; i < data.versions.size(); ++i) {
    const auto& [negative, tool, version] = versions[i];
    const auto& shown = data.versions[i];
    const std::string only = " AND model = '" + tool + "' AND version = '" + version + "'";
    EXPECT_EQ(shown.row.model, tool) << where;
    EXPECT_EQ(shown.row.version, version) << where;
    EXPECT_EQ(shown.row.sessions, -negative) << where;
    EXPECT_EQ(shown.row.users,
              count.numbers("SELECT COUNT(DISTINCT uin)", "sessions", "entered_ms", filter.range(), only)[0]) << where;
    EXPECT_EQ(shown.previousSessions,
              count.numbers("SELECT COUNT(*)", "sessions", "entered_ms", filter.previousRange(), only)[0]) << where;
    EXPECT_EQ(shown.errors,
              count.numbers("SELECT COUNT(*)", "log_lines", "received_ms", filter.range(), only + " AND level = 0")[0])
        << where;
    expectSame(shown.satisfaction, count.answers(filter.range(), only), where + " " + version);
  }
  EXPECT_FALSE(data.usersEstimated) << where;
  EXPECT_FALSE(data.countingPercent) << where;
}

void expectToolIndexMatchesLines(SqlConnection& sql, const std::string& where) {
  const std::string counts =
      sql.run("SELECT (SELECT COUNT(*) FROM log_lines_by_tool t WHERE NOT EXISTS (SELECT 1 FROM log_lines l WHERE "
              "l.id = t.id AND l.model = t.model AND l.received_ms = t.received_ms)) || ' ' || "
              "(SELECT COUNT(*) FROM log_lines_by_tool WHERE id > (SELECT done_id FROM tool_index)) || ' ' || "
              "(SELECT COUNT(*) FROM log_lines l WHERE l.id <= (SELECT done_id FROM tool_index) AND NOT EXISTS "
              "(SELECT 1 FROM log_lines_by_tool t WHERE t.model = l.model AND t.received_ms = l.received_ms AND "
              "t.id = l.id))")
          .rows.at(0).at(0).value_or("");
  EXPECT_EQ(counts, "0 0 0") << where << ": side rows without their line, past the mark; lines missing";
}

void expectTalliesMatchRecords(SqlConnection& sql, const std::string& where) {
  const auto rows = [&](const std::string& query) {
    std::vector<std::vector<std::string>> out;
    for (const auto& row : sql.run(query).rows) {
      auto& added = out.emplace_back();
      for (const auto& cell : row) added.push_back(cell.value_or("0"));
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::string lines = "l0 + l1 + l2 + l3 + l4 + l5 + l6 + l7 + l8 + l9 + l10", answers = "a0 + a1 + a2 + a3";
  // The tallies count the lines up to their mark; reads count the rest themselves.
  const std::string counted = "(SELECT * FROM log_lines WHERE id <= (SELECT done_id FROM tally_lines)) AS counted";
  EXPECT_EQ(rows("SELECT SUM(sessions), SUM(closed), SUM(" + lines + "), SUM(" + answers + "), SUM(l0) FROM tool_tally "
                 "WHERE every = 1"),
            rows("SELECT (SELECT COUNT(*) FROM sessions), (SELECT COUNT(left_ms) FROM sessions), (SELECT COUNT(*) FROM " +
                 counted + "), (SELECT COUNT(*) FROM satisfaction), (SELECT COUNT(*) FROM " + counted +
                 " WHERE level = 0)"))
      << where;
  EXPECT_EQ(rows("SELECT model, SUM(sessions), SUM(closed) FROM tool_tally WHERE every = 0 GROUP BY model "
                 "HAVING SUM(sessions) > 0"),
            rows("SELECT model, COUNT(*), COUNT(left_ms) FROM sessions GROUP BY model"))
      << where;
  EXPECT_EQ(rows("SELECT model, SUM(" + lines + ") FROM tool_tally WHERE every = 0 GROUP BY model HAVING SUM(" + lines +
                 ") > 0"),
            rows("SELECT model, COUNT(*) FROM " + counted + " GROUP BY model"))
      << where;
  EXPECT_EQ(rows("SELECT model, version, SUM(sessions), SUM(errors) FROM version_tally WHERE span = 1 GROUP BY model, "
                 "version HAVING SUM(sessions) > 0 OR SUM(errors) > 0"),
            rows("SELECT model, version, SUM(s), SUM(e) FROM (SELECT model, version, 1 AS s, 0 AS e FROM sessions "
                 "UNION ALL SELECT model, version, 0, 1 FROM " + counted + " WHERE level = 0) AS records "
                 "GROUP BY model, version"))
      << where;
  EXPECT_EQ(rows("SELECT model, function, SUM(" + answers + ") FROM function_tally WHERE span = 0 GROUP BY model, "
                 "function HAVING SUM(" + answers + ") > 0"),
            rows("SELECT model, function, COUNT(*) FROM satisfaction GROUP BY model, function"))
      << where;
}

}  // namespace zandle::servicetest
