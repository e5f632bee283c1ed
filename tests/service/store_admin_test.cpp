// The store as an administrator looks after it: retention of every kind of
// record, forgetting one user on request, and backups of a live SQLite store.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "service_test_support.h"
#include "testkit/keep_alive_client.h"

namespace zandle::servicetest {
namespace {

constexpr std::int64_t kDayMs = 86'400'000;

std::string sqlitePath(const std::string& store) { return store.substr(std::string_view("sqlite:").size()); }

// The first column of the first row of `query` on either store, as a number.
long long scalar(const std::string& store, const std::string& query) {
  long long value = -1;
  if (store.starts_with("sqlite:")) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(sqlitePath(store).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 5000);
      const int rc = sqlite3_exec(
          db, query.c_str(),
          [](void* out, int, char** columns, char**) {
            *static_cast<long long*>(out) = columns[0] ? std::atoll(columns[0]) : 0;
            return 0;
          },
          &value, nullptr);
      if (rc == SQLITE_OK && value == -1) value = sqlite3_changes(db);  // a statement without rows
    }
    sqlite3_close(db);
    return value;
  }
  PGconn* conn = PQconnectdb(store.c_str());
  PGresult* result = PQexec(conn, query.c_str());
  if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0) value = std::atoll(PQgetvalue(result, 0, 0));
  if (PQresultStatus(result) == PGRES_COMMAND_OK) value = std::atoll(PQcmdTuples(result));
  PQclear(result);
  PQfinish(conn);
  return value;
}

// Exit status and stdout of the service binary run as a command.
std::pair<int, std::string> runService(const std::string& arguments) {
  FILE* pipe = popen((std::string(ZANDLE_SERVICE_BINARY) + " " + arguments + " 2>&1").c_str(), "r");
  std::string output;
  char buffer[512];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pipe ? pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class StoreAdminTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  }
  // A session, a log line and an answer from `uin`.
  void report(int uin) {
    const std::string user = "strLoginUIN=" + std::to_string(uin);
    ASSERT_GT(intResult(service_->call("UserEnter", user + "&strModelNameVer=Painter,2.0")).value_or(0), 0);
    ASSERT_EQ(intResult(service_->call("WriteLog", user + "&strLogInfo=Painter,2.0[hello]&nLogLevel=1")), 1);
    ASSERT_EQ(intResult(service_->call("Satisfaction", user + "&strModelNameVer=Painter,2.0,Print&nSatisLevel=1"
                                                              "&strSatisInfo=NULL")),
              1);
  }
  long long count(const std::string& table, const std::string& where = "1 = 1") const {
    return scalar(service_->store(), "SELECT count(*) FROM " + table + " WHERE " + where);
  }
  std::unique_ptr<RunningService> service_;
};

TEST_P(StoreAdminTest, RetentionTakesEveryKindOfRecordPastItsAge) {
  report(1);
  report(2);
  service_->terminate();
  const std::string aged = std::to_string(40 * kDayMs);
  for (const std::string& update : {"UPDATE sessions SET entered_ms = entered_ms - " + aged + " WHERE uin = 1",
                                    "UPDATE log_lines SET received_ms = received_ms - " + aged + " WHERE uin = 1",
                                    "UPDATE satisfaction SET received_ms = received_ms - " + aged + " WHERE uin = 1"}) {
    ASSERT_GE(scalar(service_->store(), update), 0) << update;
  }
  service_->restart({"--retain-days", "30"});
  // Retention runs as the service starts, beside the requests; wait for it a bounded while.
  for (int attempt = 0; attempt < 100 && count("sessions") + count("log_lines") + count("satisfaction") > 3; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (const std::string table : {"sessions", "log_lines", "satisfaction"}) {
    EXPECT_EQ(count(table, "uin = 1"), 0) << table;
    EXPECT_EQ(count(table, "uin = 2"), 1) << table;
  }
  report(3);  // and ingestion goes on
}

TEST_P(StoreAdminTest, ForgettingAUserRemovesTheirRecordsOnlyAndSaysHowMany) {
  report(7);
  report(7);
  report(8);
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=7&strModelNameVer=Painter,2.0")));
  // While the service runs.
  const auto [status, output] = runService("forget --store '" + service_->store() + "' --uin 7");
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output,
            "forgot user 7: 2 sessions, 2 log lines, 2 answers deleted; last sighting of 1 tools cleared\n");
  for (const std::string table : {"sessions", "log_lines", "satisfaction"}) {
    EXPECT_EQ(count(table, "uin = 7"), 0) << table;
    EXPECT_EQ(count(table, "uin = 8"), 1) << table;
  }
  EXPECT_EQ(count("tools", "last_uin = 7"), 0);
  EXPECT_EQ(runService("forget --store '" + service_->store() + "' --uin 7").second,
            "forgot user 7: 0 sessions, 0 log lines, 0 answers deleted; last sighting of 0 tools cleared\n");
  EXPECT_EQ(runService("forget --store '" + service_->store() + "' --uin seven").first, 2);
  report(7);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreAdminTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

TEST(SqliteBackupTest, BackupsOfALiveStoreAreConsistentAndRestoreByCopyingBack) {
  RunningService service(Backend::Sqlite);
  const std::string store = sqlitePath(service.store());
  testkit::TemporaryDirectory directory;
  std::atomic<long long> acknowledged{0};
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    testkit::KeepAliveClient client(service.port());
    while (writing) {
      if (intResult(client.call("WriteLog", "strLoginUIN=1&strLogInfo=Tool,1.0[line]&nLogLevel=1")) == 1) ++acknowledged;
    }
  });
  while (acknowledged < 200) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  long long lastCopied = 0;
  std::string lastBackup;
  for (int round = 0; round < 3; ++round) {
    const long long before = acknowledged;
    lastBackup = directory.path() + "/backup" + std::to_string(round) + ".db";
    const auto [status, output] = runService("backup --store sqlite:" + store + " --to " + lastBackup);
    const long long after = acknowledged;
    ASSERT_EQ(status, 0) << output;
    EXPECT_NE(output.find("backed up"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(lastBackup + ".partial"));
    EXPECT_EQ(scalar("sqlite:" + lastBackup, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
    const long long copied = scalar("sqlite:" + lastBackup, "SELECT count(*) FROM log_lines");
    EXPECT_GE(copied, before);
    EXPECT_LE(copied, after + 1);  // one may be committed and not yet acknowledged
    EXPECT_GE(copied, lastCopied);
    lastCopied = copied;
  }
  writing = false;
  writer.join();
  EXPECT_GT(acknowledged.load(), lastCopied) << "the service went on writing";

  // Restore: stop, copy back, start.
  service.terminate();
  std::filesystem::copy_file(lastBackup, store, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(store + "-wal");
  std::filesystem::remove(store + "-shm");
  service.restart();
  EXPECT_EQ(scalar(service.store(), "SELECT count(*) FROM log_lines"), lastCopied);
  EXPECT_EQ(intResult(service.call("WriteLog", "strLoginUIN=1&strLogInfo=Tool,1.0[after]&nLogLevel=1")), 1);

  EXPECT_EQ(runService("backup --store sqlite:" + directory.path() + "/missing.db --to " + directory.path() + "/x.db").first, 1);
  EXPECT_EQ(runService("backup --store postgresql://localhost/x --to " + directory.path() + "/x.db").first, 2);
}

}  // namespace
}  // namespace zandle::servicetest
