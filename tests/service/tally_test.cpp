// The counts every dashboard figure is read from agree with a direct count
// over the stored records: random records written through the store, read
// in several time zones and across summer-time changes, on both stores.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>
#include <ctime>
#include <random>

#include "dashboard/dashboard_data.h"
#include "service_test_support.h"
#include "store/sketches.h"
#include "store/sql_connection.h"
#include "store/sqlite_connection.h"
#include "store/store_location.h"

namespace zandle::servicetest {
namespace {

using service::Database;
using service::SqlConnection;
using service::SqlValue;
using service::TimeRange;

constexpr std::int64_t kMinute = 60'000;
constexpr std::int64_t kHalfHour = 30 * kMinute;
constexpr std::int64_t kDay = 24 * 60 * kMinute;

std::int64_t at(const char* iso) {
  std::tm parts{};
  strptime(iso, "%Y-%m-%dT%H:%M:%S", &parts);
  return static_cast<std::int64_t>(timegm(&parts)) * 1000;
}

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

class TallyTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
    service_->terminate();
    database_ = service::StoreLocation::parse(service_->store()).open(true);
  }

  // Records at random moments from `from` on, written the way ingestion does,
  // in transactions of random size.
  void writeRandom(std::int64_t from, std::int64_t days, int sessions, int lines, int answers) {
    std::mt19937 random(17);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto moment = [&] { return from + static_cast<std::int64_t>(random() % static_cast<unsigned>(days * kDay)); };
    int pending = 0;
    const auto begin = [&] {
      if (pending++ == 0) database_->begin();
    };
    const auto end = [&] {
      if (pending >= 1 + pick(40)) {
        database_->commit();
        pending = 0;
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

  // Every (tool, column) pair the records hold.
  std::vector<std::pair<std::string, std::string>> keys(const std::string& column, const std::string& table) {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const auto& row : database_->sqlConnection()->run("SELECT DISTINCT model, " + column + " FROM " + table).rows) {
      keys.emplace_back(row.at(0).value_or(""), row.at(1).value_or(""));
    }
    return keys;
  }

  void compare(const std::string& query, std::int64_t now) {
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

  std::unique_ptr<RunningService> service_;
  std::unique_ptr<Database> database_;
};

TEST_P(TallyTest, EveryFigureAgreesWithADirectCountInEveryZoneAcrossSummerTime) {
  // 45 days around New York's (10 March) and London's (31 March) change to summer time.
  writeRandom(at("2024-02-20T00:00:00"), 45, 700, 1200, 400);
  const std::int64_t afterBoth = at("2024-04-03T15:20:00");
  for (const char* zone : {"UTC", "America%2FNew_York", "Europe%2FLondon", "Asia%2FKolkata", "Australia%2FSydney"}) {
    const std::string tz = std::string("tz=") + zone;
    compare(tz + "&range=30d", afterBoth);
    compare(tz + "&range=7d&tool=Alpha", afterBoth);
    compare(tz + "&from=2024-03-09&to=2024-03-11", afterBoth);  // the 23-hour day in New York, hour by hour
    compare(tz + "&from=2024-03-31&to=2024-03-31&tool=%E7%BB%98%E5%9B%BE", afterBoth);
    compare(tz + "&range=24h", at("2024-03-10T09:10:00"));
    compare(tz + "&range=90d", at("2024-03-12T23:59:00"));
  }
}

// Tallies against the records they count, over all time: per tool, per version and for the whole store.
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
  EXPECT_EQ(rows("SELECT SUM(sessions), SUM(closed), SUM(" + lines + "), SUM(" + answers + "), SUM(l0) FROM tool_tally "
                 "WHERE every = 1"),
            rows("SELECT (SELECT COUNT(*) FROM sessions), (SELECT COUNT(left_ms) FROM sessions), (SELECT COUNT(*) FROM "
                 "log_lines), (SELECT COUNT(*) FROM satisfaction), (SELECT COUNT(*) FROM log_lines WHERE level = 0)"))
      << where;
  EXPECT_EQ(rows("SELECT model, SUM(sessions), SUM(closed) FROM tool_tally WHERE every = 0 GROUP BY model "
                 "HAVING SUM(sessions) > 0"),
            rows("SELECT model, COUNT(*), COUNT(left_ms) FROM sessions GROUP BY model"))
      << where;
  EXPECT_EQ(rows("SELECT model, SUM(" + lines + ") FROM tool_tally WHERE every = 0 GROUP BY model HAVING SUM(" + lines +
                 ") > 0"),
            rows("SELECT model, COUNT(*) FROM log_lines GROUP BY model"))
      << where;
  EXPECT_EQ(rows("SELECT model, version, SUM(sessions), SUM(errors) FROM version_tally WHERE span = 1 GROUP BY model, "
                 "version HAVING SUM(sessions) > 0 OR SUM(errors) > 0"),
            rows("SELECT model, version, SUM(s), SUM(e) FROM (SELECT model, version, 1 AS s, 0 AS e FROM sessions "
                 "UNION ALL SELECT model, version, 0, 1 FROM log_lines WHERE level = 0) AS records "
                 "GROUP BY model, version"))
      << where;
  EXPECT_EQ(rows("SELECT model, function, SUM(" + answers + ") FROM function_tally WHERE span = 0 GROUP BY model, "
                 "function HAVING SUM(" + answers + ") > 0"),
            rows("SELECT model, function, COUNT(*) FROM satisfaction GROUP BY model, function"))
      << where;
}

// Records removed (retention, forgetting a user) leave the counts as a direct
// count over what is left; distinct users and session lengths keep those that went.
TEST_P(TallyTest, RemovedRecordsLeaveTheirCounts) {
  writeRandom(at("2024-03-01T00:00:00"), 10, 50, 600, 10);
  database_->begin();
  EXPECT_GT(database_->removeRecords(service::RecordKind::LogLine, {at("2024-03-05T12:00:00"), std::nullopt}, 100'000), 0);
  EXPECT_GT(database_->removeRecords(service::RecordKind::Answer, {at("2024-03-06T00:00:00"), std::nullopt}, 100'000), 0);
  database_->commit();
  compare("from=2024-03-01&to=2024-03-10", at("2024-03-11T00:00:00"));
  database_->begin();
  EXPECT_GT(database_->removeRecords(service::RecordKind::Session, {at("2024-03-04T00:00:00"), std::nullopt}, 100'000), 0);
  EXPECT_GT(database_->removeRecords(service::RecordKind::LogLine, {std::nullopt, 7}, 100'000), 0);
  database_->commit();
  expectTalliesMatchRecords(*database_->sqlConnection(), "after removing");
}

// kill -9 in the middle of ingestion: whatever transactions made it, the counts made it with them.
TEST_P(TallyTest, KilledDuringIngestionLeavesCountsEqualToTheRecords) {
  service_->restart();
  const std::uint16_t port = service_->port();
  std::atomic<int> acknowledged{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&, c] {
      const std::string tool = std::string("strModelNameVer=") + (c % 2 ? "Alpha" : "Beta") + ",1." + std::to_string(c % 3);
      for (int i = 0; i < 400; ++i) {
        const std::string uin = "strLoginUIN=" + std::to_string(c * 10 + i % 7);
        testkit::HttpReply reply;
        if (i % 5 == 0) {
          reply = testkit::callWebMethod(port, "UserEnter", uin + "&" + tool);
          if (const auto id = intResult(reply); id && i % 10 == 0) {
            reply = testkit::callWebMethod(port, "UserLeave", "nLoginDetailID=" + std::to_string(*id));
          }
        } else if (i % 5 == 1) {
          reply = testkit::callWebMethod(port, "Satisfaction", uin + "&strModelNameVer=" + (c % 2 ? "Alpha" : "Beta") +
                                                                    "-1.0,Print&nSatisLevel=" + std::to_string(i % 4) +
                                                                    "&strSatisInfo=NULL");
        } else {
          reply = testkit::callWebMethod(port, "WriteLog",
                                         uin + "&strLogInfo=" + (c % 2 ? "Alpha" : "Beta") + ",1.0[line]&nLogLevel=0");
        }
        if (!reply.received) return;  // the service is gone
        ++acknowledged;
      }
    });
  }
  for (int waited = 0; acknowledged < 300 && waited < 3000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  service_->kill();
  for (auto& client : clients) client.join();
  ASSERT_GE(acknowledged.load(), 300);
  // A fresh connection sees only what was committed.
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  expectTalliesMatchRecords(*database_->sqlConnection(), "after kill -9");
}

// A store the service wrote before it kept counts: it starts answering at
// once, says how far the counting has got, and ends with counts equal to the records.
TEST_P(TallyTest, StoresFromBeforeTheCountsAreCountedWhileTheServiceAnswers) {
  database_.reset();
  const std::string& store = service_->store();
  if (store.starts_with("sqlite:")) {
    // The very file the service before the counts left, as a dump.
    const std::string path = store.substr(7);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    std::ifstream dump(ZANDLE_STORE_BEFORE_COUNTS);
    const std::string script((std::istreambuf_iterator<char>(dump)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(script.empty());
    auto fresh = std::make_unique<service::SqliteConnection>(path, false);
    fresh->runScript(script);
  } else {
    // The tables the counts live in and the list indexes did not exist; a session of the service before is open.
    service::StoreLocation::parse(store).open(true)->sqlConnection()->runScript(
        std::string(kForgetTallies) + "DROP INDEX log_lines_by_tool_time; DROP INDEX sessions_by_time; " +
        "INSERT INTO sessions (login_detail_id, uin, model, version, raw_model_name_ver, entered_ms, enter_address) "
        "VALUES (1479009046, 6, 'Painter', '2.0', '', " + std::to_string(at("2026-12-07T10:10:51")) + ", '127.0.0.1')");
  }
  {
    // More than the service counts before it answers: the rest is counted beside the requests.
    auto database = service::StoreLocation::parse(store).open(false);
    const std::string rows =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 90000) ";
    const std::string when = std::to_string(at("2026-11-05T00:00:00")) + " + CAST(i AS BIGINT) * 29000";
    database->sqlConnection()->runScript(
        rows + "INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) "
               "SELECT i % 300, i % 4, 'Tool' || (i % 7), '1.' || (i % 3), 'old line', '', " + when + ", '10.0.0.1' FROM n");
    database->sqlConnection()->runScript(
        rows + "INSERT INTO sessions (login_detail_id, uin, model, version, raw_model_name_ver, entered_ms, "
               "enter_address, left_ms, leave_address) SELECT 100 + i, i % 500, 'Tool' || (i % 7), '1.' || (i % 3), "
               "'', " + when + ", '10.0.0.1', CASE WHEN i % 3 = 0 THEN NULL ELSE " + when + " + i % 5000 * 1000 END, "
               "'10.0.0.1' FROM n WHERE i <= 20000");
  }
  service_->restart();
  // Ingestion goes on meanwhile; this session from before is closed now.
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=1479009046")), 1);
  EXPECT_TRUE(intResult(service_->call("WriteLog", "strLoginUIN=5&strLogInfo=Painter,2.0[new]&nLogLevel=0")));
  bool sawProgress = false, done = false;
  for (int attempt = 0; attempt < 600 && !done; ++attempt) {
    const std::string page = service_->get("/?range=90d").body;
    const std::size_t note = page.find("counting older data: ");
    if (note == std::string::npos) {
      done = true;
    } else {
      sawProgress = true;
      EXPECT_NE(page.find(" %", note), std::string::npos);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ASSERT_TRUE(done);
  EXPECT_TRUE(sawProgress) << "the first page came after all was counted";
  // The list indexes the store lacked are built beside the requests too.
  {
    auto database = service::StoreLocation::parse(store).open(false);
    const std::string built =
        GetParam() == Backend::Sqlite
            ? "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN ('log_lines_by_tool_time', "
              "'sessions_by_time', 'function_tally_sums')"
            : "SELECT COUNT(*) FROM pg_index WHERE indisvalid AND indexrelid IN (to_regclass('log_lines_by_tool_time'), "
              "to_regclass('sessions_by_time'), to_regclass('function_tally_sums'))";
    std::string count;
    for (int attempt = 0; attempt < 300 && count != "3"; ++attempt) {
      if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      count = database->sqlConnection()->run(built).rows.at(0).at(0).value_or("");
    }
    EXPECT_EQ(count, "3");
  }
  service_->terminate();
  database_ = service::StoreLocation::parse(store).open(true);
  expectTalliesMatchRecords(*database_->sqlConnection(), "after counting the older records");
  compare("from=2026-11-01&to=2026-12-07", at("2026-12-07T12:00:00"));
}

TEST(UserSketchTest, ExactUpToItsLimitThenWithinTheStatedError) {
  service::UserSketch small, large, merged;
  for (std::uint32_t uin = 1; uin <= service::kExactUsers; ++uin) small.add(uin * 7919u);
  EXPECT_EQ(small.count(), static_cast<std::int64_t>(service::kExactUsers));
  EXPECT_FALSE(small.estimated());
  for (std::uint32_t uin = 0; uin < 100'000; ++uin) large.add(uin);
  for (std::uint32_t uin = 50'000; uin < 150'000; ++uin) merged.add(uin);
  merged.merge(service::UserSketch::decode(large.encode()));
  EXPECT_TRUE(large.estimated());
  // Three times the typical error.
  EXPECT_NEAR(static_cast<double>(large.count()), 100'000.0, 100'000.0 * 3 * service::kUserEstimateError);
  EXPECT_NEAR(static_cast<double>(merged.count()), 150'000.0, 150'000.0 * 3 * service::kUserEstimateError);
}

INSTANTIATE_TEST_SUITE_P(Stores, TallyTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
