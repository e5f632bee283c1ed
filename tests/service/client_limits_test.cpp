// What the Windows client can send bounds what is stored, and login detail ids
// cannot be guessed, on every store backend.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <set>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

class ClientLimitsTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  }

  // Runs SQL on the store directly, as an older version of the service would have left it.
  void runOnStore(const std::string& sql) {
    const std::string& store = service_->store();
    if (store.starts_with("sqlite:")) {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(store.substr(7).c_str(), &db), SQLITE_OK);
      char* error = nullptr;
      const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
      EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
      sqlite3_free(error);
      sqlite3_close(db);
      return;
    }
    PGconn* conn = PQconnectdb(store.c_str());
    ASSERT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
    PGresult* result = PQexec(conn, sql.c_str());
    EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(conn);
    PQclear(result);
    PQfinish(conn);
  }

  std::unique_ptr<RunningService> service_;
};

// Form body of exactly `size` bytes for the method, padded inside a free text.
std::string bodyOfSize(std::string_view method, std::size_t size) {
  std::string head, tail;
  if (method == "WriteLog") {
    head = "strLoginUIN=1&strLogInfo=Tool,1.0[";
    tail = "]&nLogLevel=0";
  } else if (method == "UserEnter") {
    head = "strLoginUIN=1&strModelNameVer=Tool-";
    tail = ",1.0";
  } else {
    head = "strLoginUIN=1&strModelNameVer=Tool-1.0,Print&nSatisLevel=1&strSatisInfo=";
  }
  return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

TEST_P(ClientLimitsTest, BodiesLargerThanTheClientSendsAreRefusedWhole) {
  EXPECT_EQ(intResult(service_->call("WriteLog", bodyOfSize("WriteLog", 4096))), 1);
  const HttpReply log = service_->call("WriteLog", bodyOfSize("WriteLog", 4097));
  EXPECT_EQ(log.status, 413);
  EXPECT_FALSE(intResult(log));
  for (const std::string_view method : {"UserEnter", "Satisfaction"}) {
    EXPECT_TRUE(intResult(service_->call(method, bodyOfSize(method, 1024)))) << method;
    EXPECT_EQ(service_->call(method, bodyOfSize(method, 1025)).status, 413) << method;
  }
  EXPECT_EQ(service_->exportJson("logs.json").size(), 1u);
  EXPECT_EQ(service_->exportJson("sessions.json").size(), 1u);
  EXPECT_EQ(service_->exportJson("satisfaction.json").size(), 1u);
}

TEST_P(ClientLimitsTest, NamesAreCutAt255BytesOnACharacterBoundary) {
  std::string chinese, accented;
  for (int i = 0; i < 100; ++i) chinese += "\xe4\xb8\xad";  // 300 bytes
  for (int i = 0; i < 150; ++i) accented += "\xc3\xa9";     // 300 bytes
  const std::string version(300, 'v');
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=" + chinese + ",1.0")));
  ASSERT_TRUE(intResult(service_->call("UserEnter", "strLoginUIN=1&strModelNameVer=" + chinese + "," + version)));
  ASSERT_EQ(intResult(service_->call("WriteLog", "strLoginUIN=1&strLogInfo=" + chinese + ",1.0[text]&nLogLevel=0")), 1);
  ASSERT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=1&strModelNameVer=Tool-1.0," + accented +
                                                         "&nSatisLevel=2&strSatisInfo=NULL")),
            1);

  const std::string chineseCut = chinese.substr(0, 255);  // 85 whole characters
  const auto sessions = service_->exportJson("sessions.json");
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0]["tool"], chineseCut);
  EXPECT_EQ(sessions[0]["version"], std::string(255, 'v'));
  const auto logs = service_->exportJson("logs.json");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0]["tool"], chineseCut);
  EXPECT_EQ(logs[0]["text"], "text");
  const auto reports = service_->exportJson("satisfaction.json");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0]["function"], accented.substr(0, 254));  // 127 characters; the 128th would need byte 256
}

TEST_P(ClientLimitsTest, LoginDetailIdsAreUniquePositiveAndNotSequential) {
  std::set<long long> ids;
  for (int i = 0; i < 30; ++i) {
    const auto id = intResult(service_->call("UserEnter", "strLoginUIN=" + std::to_string(i) +
                                                              "&strModelNameVer=Tool,1.0"));
    ASSERT_TRUE(id);
    EXPECT_GT(*id, 0);
    EXPECT_LE(*id, 0x7FFFFFFF);
    ids.insert(*id);
  }
  EXPECT_EQ(ids.size(), 30u);
  // Sequential ids would lie within 30 of one another; random ones are spread over 2^31.
  EXPECT_GT(*ids.rbegin() - *ids.begin(), 1'000'000);
  int neighbours = 0;
  for (long long id : ids) neighbours += ids.count(id + 1);
  EXPECT_LE(neighbours, 1);
  // Each closes its own session only.
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(*ids.begin()))), 1);
  EXPECT_EQ(service_->exportJson("summary.json")["openSessions"], 29);
}

TEST_P(ClientLimitsTest, SessionsStoredBeforeRandomIdsKeepTheirIds) {
  service_->terminate();
  // The store as the version with sequential ids left it: no login detail id column.
  const bool sqlite = service_->store().starts_with("sqlite:");
  const long long anHourAgo = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count() -
                              3'600'000;
  std::string old = sqlite ? "DROP INDEX sessions_by_login_detail_id; " : "";
  old += "ALTER TABLE sessions DROP COLUMN login_detail_id;";
  for (int id = 1; id <= 3; ++id) {
    old += std::string("INSERT INTO sessions (") + (sqlite ? "id, " : "") +
           "uin, model, version, raw_model_name_ver, entered_ms, enter_address) VALUES (" +
           (sqlite ? std::to_string(id) + ", " : "") + "7, 'Tool', '1.0', 'Tool,1.0', " +
           std::to_string(anHourAgo + id) + ", '127.0.0.1');";
  }
  runOnStore(old + kForgetTallies);
  service_->restart();

  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=2")), 1);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=2")), 1);  // closed already, still known
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=4")), 0);
  const auto fresh = intResult(service_->call("UserEnter", "strLoginUIN=8&strModelNameVer=Tool,1.0"));
  ASSERT_TRUE(fresh);
  EXPECT_GT(*fresh, 3);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(*fresh))), 1);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=3")), 1);
  const auto sessions = service_->exportJson("sessions.json");
  EXPECT_EQ(sessions.size(), 4u) << sessions.dump();
  // A second start finds the store up to date and changes nothing.
  service_->restart();
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=1")), 1);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(*fresh))), 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, ClientLimitsTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
