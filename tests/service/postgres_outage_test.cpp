// A PostgreSQL outage turns replies into failures, never into false
// successes, and the service carries on once the database is back; under
// load too, with a batch's COMMIT out while the next batch goes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

const std::string kLine = "strLoginUIN=1&strLogInfo=Tool,1.0[x]&nLogLevel=0";

// A server of this test's own, so the outage touches no other test.
class PrivateServer {
 public:
  PrivateServer() : urlFile_(directory_.path() + "/url") { available_ = control("start") && !url().empty(); }
  ~PrivateServer() { control("stop"); }
  bool available() const { return available_; }
  bool control(const std::string& action) const {
    return std::system(("bash " ZANDLE_POSTGRES_FIXTURE " " + action + " " + urlFile_ + " >/dev/null").c_str()) == 0;
  }
  std::string url() const {
    std::ifstream in(urlFile_);
    std::string line;
    std::getline(in, line);
    return line;
  }

 private:
  testkit::TemporaryDirectory directory_;
  std::string urlFile_;
  bool available_ = false;
};

TEST(PostgresOutageTest, FailuresDuringTheOutageAndRecoveryAfterIt) {
  PrivateServer server;
  if (!server.available()) GTEST_SKIP() << "no PostgreSQL server for this run";
  const auto service = testkit::ServiceProcess::start(
      ZANDLE_SERVICE_BINARY, {"--store", server.url(), "--token", std::string(kToken)});
  ASSERT_EQ(intResult(testkit::callWebMethod(service->port(), "WriteLog", kLine)), 1);
  // The overview opens the reader's second connection, which the outage breaks too.
  ASSERT_EQ(testkit::getWithToken(service->port(), "/?range=24h", kToken).status, 200);

  ASSERT_TRUE(server.control("pause"));
  const testkit::HttpReply during = testkit::callWebMethod(service->port(), "WriteLog", kLine);
  EXPECT_EQ(during.status, 503);
  EXPECT_FALSE(intResult(during));

  // The reading connection sat idle through the outage and learns of it only now.
  ASSERT_TRUE(server.control("resume"));
  EXPECT_EQ(intResult(testkit::callWebMethod(service->port(), "WriteLog", kLine)), 1);
  const testkit::HttpReply logs = testkit::getWithToken(service->port(), "/export/logs.json", kToken);
  ASSERT_EQ(logs.status, 200);
  EXPECT_EQ(nlohmann::json::parse(logs.body).size(), 2u);
  const testkit::HttpReply overview = testkit::getWithToken(service->port(), "/?range=24h", kToken);
  EXPECT_EQ(overview.status, 200);
  EXPECT_NE(overview.body.find("Errors"), std::string::npos);
  EXPECT_EQ(service->terminate(), 0);
}

TEST(PostgresOutageTest, EveryLineAnsweredAsKeptUnderLoadIsKept) {
  PrivateServer server;
  if (!server.available()) GTEST_SKIP() << "no PostgreSQL server for this run";
  const auto service = testkit::ServiceProcess::start(
      ZANDLE_SERVICE_BINARY, {"--store", server.url(), "--token", std::string(kToken)});
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::set<std::string> kept;
  std::atomic<int> failed{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&, c] {
      for (int n = 0; !stop; ++n) {
        const std::string text = "c" + std::to_string(c) + "-" + std::to_string(n);
        const auto reply =
            testkit::callWebMethod(service->port(), "WriteLog", "strLoginUIN=1&strLogInfo=Tool,1.0[" + text + "]&nLogLevel=0");
        if (intResult(reply) == 1) {
          std::lock_guard lock(mutex);
          kept.insert(text);
        } else {
          ++failed;
        }
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const bool paused = server.control("pause");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const bool resumed = server.control("resume");
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  stop = true;
  for (std::thread& client : clients) client.join();
  ASSERT_TRUE(paused && resumed);

  std::set<std::string> stored;
  const testkit::HttpReply logs = testkit::getWithToken(service->port(), "/export/logs.json", kToken);
  ASSERT_EQ(logs.status, 200);
  for (const auto& line : nlohmann::json::parse(logs.body)) stored.insert(line["text"].get<std::string>());
  std::vector<std::string> lost;
  for (const std::string& text : kept) {
    if (!stored.count(text)) lost.push_back(text);
  }
  EXPECT_TRUE(lost.empty()) << lost.size() << " of " << kept.size() << " lines answered as kept are not, first "
                            << lost.front();
  EXPECT_GT(kept.size(), 100u);
  EXPECT_GT(failed.load(), 0);
  EXPECT_EQ(service->terminate(), 0);
}

}  // namespace
}  // namespace zandle::servicetest
