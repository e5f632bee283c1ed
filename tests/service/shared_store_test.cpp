// Several service instances on one PostgreSQL database act as one service.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "service_test_support.h"
#include "store/sql_connection.h"
#include "store/store_location.h"

namespace zandle::servicetest {
namespace {

constexpr int kReportsPerInstance = 150;
constexpr int kClientsPerInstance = 4;

class SharedStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    first_ = std::make_unique<RunningService>(Backend::Postgres);
    if (first_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
    second_ = RunningService::sharingStoreWith(*first_);
  }
  std::unique_ptr<RunningService> first_;
  std::unique_ptr<RunningService> second_;
};

TEST_F(SharedStoreTest, SessionsAndConfigurationCrossInstances) {
  ASSERT_EQ(first_->configure("Painter", 3, "Print").status, 303);
  EXPECT_EQ(stringResult(second_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Painter,1.0")),
            "&lt;AppInfo&gt;&lt;WarningLevel&gt;3&lt;/WarningLevel&gt;&lt;FunName&gt;Print&lt;/FunName&gt;"
            "&lt;/AppInfo&gt;");
  const auto session = intResult(first_->call("UserEnter", "strLoginUIN=1&strModelNameVer=Painter-Demo,1.0"));
  ASSERT_TRUE(session);
  EXPECT_EQ(intResult(second_->call("UserLeave", "nLoginDetailID=" + std::to_string(*session))), 1);
  EXPECT_EQ(second_->exportJson("sessions.json")[0]["extra"], "Demo");
  EXPECT_EQ(second_->get("/").status, 200);
}

TEST_F(SharedStoreTest, ConcurrentWritesThroughBothInstancesAreAllKeptWithDistinctIds) {
  std::vector<std::thread> clients;
  std::mutex mutex;
  std::set<long long> sessionIds;
  int failures = 0;
  for (RunningService* instance : {first_.get(), second_.get()}) {
    for (int c = 0; c < kClientsPerInstance; ++c) {
      clients.emplace_back([&, instance] {
        for (int i = 0; i < kReportsPerInstance / kClientsPerInstance; ++i) {
          const auto id = intResult(instance->call("UserEnter", "strLoginUIN=2&strModelNameVer=Tool,1.0"));
          const auto logged = intResult(instance->call("WriteLog", "strLoginUIN=2&strLogInfo=Tool,1.0[x]&nLogLevel=0"));
          std::lock_guard lock(mutex);
          if (id) sessionIds.insert(*id);
          failures += !id || logged != 1;
        }
      });
    }
  }
  for (auto& client : clients) client.join();
  const std::size_t expected = 2 * kClientsPerInstance * (kReportsPerInstance / kClientsPerInstance);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(sessionIds.size(), expected);
  EXPECT_EQ(first_->exportJson("logs.json").size(), expected);
  EXPECT_EQ(second_->exportJson("summary.json")["openSessions"], static_cast<int>(expected));
}

// Both instances add users to one tool's half hour at once: each user is kept
// in its set (an instance must not write back a set the other changed meanwhile).
TEST_F(SharedStoreTest, UsersAddedThroughBothInstancesAtOnceAreAllCounted) {
  constexpr int kUsersPerClient = 40;
  std::vector<std::thread> clients;
  std::atomic<int> failures{0};
  int instanceNumber = 0;
  for (RunningService* instance : {first_.get(), second_.get()}) {
    ++instanceNumber;
    for (int c = 0; c < kClientsPerInstance; ++c) {
      clients.emplace_back([&, instance, first = instanceNumber * 1000 + c * 100] {
        for (int i = 0; i < kUsersPerClient; ++i) {
          const std::string uin = "strLoginUIN=" + std::to_string(first + i);
          failures += !intResult(instance->call("UserEnter", uin + "&strModelNameVer=Tool,1.0"));
        }
      });
    }
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(failures, 0);
  const int users = 2 * kClientsPerInstance * kUsersPerClient;  // an exact set up to 512
  EXPECT_EQ(first_->exportJson("summary.json?range=24h")["activeUsers"], users);
  EXPECT_EQ(second_->exportJson("summary.json?range=24h&tool=Tool")["activeUsers"], users);
}

// Another instance building a sessions index CONCURRENTLY holds this lock for
// as long as the build takes; opening the store must not wait for it (it would
// deadlock with the build, which waits for the opening transaction in turn).
TEST_F(SharedStoreTest, OpeningTheStoreDoesNotWaitForAnIndexBuildOnSessions) {
  const auto location = service::StoreLocation::parse(first_->store());
  auto builder = location.open(false);
  service::SqlConnection& builderSql = *builder->sqlConnection();
  builderSql.runScript("BEGIN; LOCK TABLE sessions IN SHARE UPDATE EXCLUSIVE MODE");
  auto opening = std::async(std::launch::async, [&] { return location.open(true) != nullptr; });
  const bool openedAtOnce = opening.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  builderSql.runScript("COMMIT");
  EXPECT_TRUE(openedAtOnce);
  EXPECT_TRUE(opening.get());
}

}  // namespace
}  // namespace zandle::servicetest
