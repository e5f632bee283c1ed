// The counts stay equal to the records they count whatever happens to the
// records: removed by retention or forgetting, cut off by kill -9 during
// ingestion, or stored by the service before it kept counts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "store/sqlite_connection.h"
#include "store/store_location.h"
#include "tally_test_support.h"

namespace zandle::servicetest {
namespace {

using TallyRecoveryTest = TallyTest;

// How many of `names` are there as whole indexes.
std::string indexesThere(service::SqlConnection& sql, const std::vector<std::string>& names) {
  const bool sqlite = sql.dialect() == service::SqlDialect::Sqlite;
  std::string list;
  for (const std::string& name : names) {
    list += (list.empty() ? "" : ", ") + (sqlite ? "'" + name + "'" : "to_regclass('" + name + "')");
  }
  return sql.run(sqlite ? "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN (" + list + ")"
                        : "SELECT COUNT(*) FROM pg_index WHERE indisvalid AND indexrelid IN (" + list + ")")
      .rows.at(0).at(0).value_or("");
}

// Records removed (retention, forgetting a user) leave the counts as a direct
// count over what is left; distinct users and session lengths keep those that went.
TEST_P(TallyRecoveryTest, RemovedRecordsLeaveTheirCounts) {
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
  compareOpenSessions("range=30d", at("2024-03-11T00:00:00"));
  compareOpenSessions("range=30d&tool=Beta", at("2024-03-11T00:00:00"));
}

// kill -9 in the middle of ingestion: whatever transactions made it, the counts made it with them.
TEST_P(TallyRecoveryTest, KilledDuringIngestionLeavesCountsEqualToTheRecords) {
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
  expectToolIndexMatchesLines(*service::StoreLocation::parse(service_->store()).open(false)->sqlConnection(),
                              "after kill -9");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  expectTalliesMatchRecords(*database_->sqlConnection(), "after kill -9");
}

// A store the service wrote before it kept counts: it starts answering at
// once, says how far the counting has got, and ends with counts equal to the records.
TEST_P(TallyRecoveryTest, StoresFromBeforeTheCountsAreCountedWhileTheServiceAnswers) {
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
        std::string(kForgetTallies) + "DROP TABLE log_lines_by_tool; DROP TABLE tool_index; " +
        "DROP TABLE log_lines_text; DROP TABLE text_index; "
        "CREATE INDEX log_lines_text_trgm ON log_lines USING gin (lower(text) gin_trgm_ops); " +
        "CREATE INDEX log_lines_by_tool_time ON log_lines (model, received_ms, id); DROP INDEX sessions_by_time; " +
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
  // Open sessions are right before the counts are, and after.
  const std::int64_t open = std::stoll(service::StoreLocation::parse(store)
                                           .open(false)
                                           ->sqlConnection()
                                           ->run("SELECT COUNT(*) FROM sessions WHERE left_ms IS NULL")
                                           .rows.at(0)
                                           .at(0)
                                           .value_or("0"));
  EXPECT_GT(open, 0);
  bool sawProgress = false, done = false;
  for (int attempt = 0; attempt < 600 && !done; ++attempt) {
    const std::string page = service_->get("/?range=90d").body;
    const std::size_t note = page.find("counting older data: ");
    if (note == std::string::npos) {
      done = true;
    } else {
      sawProgress = true;
      EXPECT_NE(page.find(" %", note), std::string::npos);
      EXPECT_EQ(service_->exportJson("summary.json")["openSessions"], open);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ASSERT_TRUE(done);
  EXPECT_EQ(service_->exportJson("summary.json")["openSessions"], open);
  EXPECT_TRUE(sawProgress) << "the first page came after all was counted";
  // The list indexes the store lacked are built beside the requests too.
  {
    auto database = service::StoreLocation::parse(store).open(false);
    const std::vector<std::string> wanted = {
        "sessions_by_time", GetParam() == Backend::Sqlite ? "function_tally_by_time_sums" : "function_tally_by_time"};
    std::string built;
    for (int attempt = 0; attempt < 300 && built != "2"; ++attempt) {
      if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      built = indexesThere(*database->sqlConnection(), wanted);
    }
    EXPECT_EQ(built, "2");
    // The lines by tool are filled beside the requests, then the index by tool they replace goes.
    std::string filled;
    for (int attempt = 0; attempt < 300 && filled != "1 0"; ++attempt) {
      if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      filled = database->sqlConnection()
                   ->run("SELECT CASE WHEN (SELECT done_id FROM tool_index) = (SELECT MAX(id) FROM log_lines) THEN 1 "
                         "ELSE 0 END || ' ' || " + std::string(GetParam() == Backend::Sqlite
                             ? "(SELECT COUNT(*) FROM sqlite_master WHERE name = 'log_lines_by_tool_time')"
                             : "(SELECT COUNT(*) FROM pg_class WHERE relname = 'log_lines_by_tool_time')"))
                   .rows.at(0).at(0).value_or("");
    }
    EXPECT_EQ(filled, "1 0");
    expectToolIndexMatchesLines(*database->sqlConnection(), "after filling beside the requests");
    if (GetParam() == Backend::Postgres) {
      // So are the lowered texts, then the trigram index on log_lines they replace goes.
      std::string texts;
      for (int attempt = 0; attempt < 300 && texts != "1 0 0"; ++attempt) {
        if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        texts = database->sqlConnection()
                    ->run("SELECT CASE WHEN (SELECT done_id FROM text_index) = (SELECT MAX(id) FROM log_lines) "
                          "THEN 1 ELSE 0 END || ' ' || (SELECT COUNT(*) FROM pg_class WHERE relname = "
                          "'log_lines_text_trgm') || ' ' || (SELECT COUNT(*) FROM log_lines l FULL JOIN "
                          "log_lines_text t ON t.id = l.id WHERE t.id IS NULL OR l.id IS NULL OR t.text <> lower(l.text))")
                    .rows.at(0).at(0).value_or("");
      }
      EXPECT_EQ(texts, "1 0 0");
    }
  }
  service_->terminate();
  database_ = service::StoreLocation::parse(store).open(true);
  expectTalliesMatchRecords(*database_->sqlConnection(), "after counting the older records");
  compare("from=2026-11-01&to=2026-12-07", at("2026-12-07T12:00:00"));
}

// A store the service before left on PostgreSQL held indexes of the tallies
// with their sums, which swelled with a dead entry at every count; SQLite's
// are the other way round.
TEST_P(TallyRecoveryTest, IndexesOfTheOtherStoreKindGiveWayToTheirsAtStart) {
  const bool sqlite = GetParam() == Backend::Sqlite;
  database_->sqlConnection()->runScript(
      sqlite ? "DROP INDEX version_tally_by_time_sums; DROP INDEX function_tally_sums; "
               "CREATE INDEX version_tally_by_time ON version_tally (span, start_ms)"
             : "DROP INDEX version_tally_by_time; CREATE INDEX version_tally_by_time_sums ON version_tally "
               "(span, start_ms, model, version, sessions, errors, a0, a1, a2, a3); CREATE INDEX function_tally_sums "
               "ON function_tally (model, function, span, start_ms, a0, a1, a2, a3)");
  database_.reset();
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  service::SqlConnection& sql = *database_->sqlConnection();
  EXPECT_EQ(indexesThere(sql, sqlite ? std::vector<std::string>{"version_tally_by_time"}
                                     : std::vector<std::string>{"version_tally_by_time_sums", "function_tally_sums"}),
            "0");
  EXPECT_EQ(indexesThere(sql, sqlite ? std::vector<std::string>{"version_tally_by_time_sums", "function_tally_sums"}
                                     : std::vector<std::string>{"version_tally_by_time", "function_tally_by_time"}),
            "2");
  writeRandom(at("2024-03-01T00:00:00"), 20, 100, 200, 100);
  compare("from=2024-03-01&to=2024-03-20", at("2024-03-21T00:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Stores, TallyRecoveryTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
