// Acknowledged records survive the service being killed or stopped under load.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

constexpr int kClients = 8;
constexpr int kReportsPerClient = 60;
constexpr std::size_t kAcknowledgedBeforeStop = 120;

class DurabilityTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  }

  // Clients report until the service goes away; `stop` ends it once enough
  // reports have been acknowledged. Returns the acknowledged texts.
  std::set<std::string> reportUntilStopped(const std::function<void()>& stop) {
    std::mutex mutex;
    std::set<std::string> acknowledged;
    std::atomic<std::size_t> count{0};
    std::vector<std::thread> clients;
    const std::uint16_t port = service_->port();
    for (int c = 0; c < kClients; ++c) {
      clients.emplace_back([&, c] {
        for (int i = 0; i < kReportsPerClient; ++i) {
          const std::string text = "client " + std::to_string(c) + " line " + std::to_string(i);
          const auto reply = testkit::callWebMethod(port, "WriteLog",
                                                    "strLoginUIN=" + std::to_string(c) + "&strLogInfo=Tool,1.0[" +
                                                        text + "]&nLogLevel=1");
          if (intResult(reply) == 1) {
            std::lock_guard lock(mutex);
            acknowledged.insert(text);
            ++count;
          } else if (!reply.received) {
            return;  // the service is gone
          }
        }
      });
    }
    for (int waited = 0; count < kAcknowledgedBeforeStop && waited < 3000; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stop();
    for (auto& client : clients) client.join();
    return acknowledged;
  }

  std::set<std::string> storedTexts() {
    std::set<std::string> texts;
    for (const auto& line : service_->exportJson("logs.json")) texts.insert(line["text"].get<std::string>());
    return texts;
  }

  std::unique_ptr<RunningService> service_;
};

TEST_P(DurabilityTest, KilledRightAfterReplyingLosesNothingAcknowledged) {
  const auto session = intResult(service_->call("UserEnter", "strLoginUIN=3&strModelNameVer=Tool,1.0"));
  ASSERT_TRUE(session);
  service_->kill();  // the session was acknowledged a moment ago
  service_->restart();

  const std::set<std::string> acknowledged = reportUntilStopped([&] { service_->kill(); });
  ASSERT_GE(acknowledged.size(), kAcknowledgedBeforeStop);
  service_->restart();

  const std::set<std::string> stored = storedTexts();
  for (const auto& text : acknowledged) EXPECT_TRUE(stored.count(text)) << "lost: " << text;
  // Nothing but what clients sent: committed-but-unanswered lines may be there, nothing garbled.
  for (const auto& text : stored) EXPECT_EQ(text.rfind("client ", 0), 0u) << text;
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(*session))), 1);
}

TEST_P(DurabilityTest, StoppedWithSigtermUnderLoadExitsCleanlyAndKeepsEverythingAcknowledged) {
  int exitStatus = -1;
  const std::set<std::string> acknowledged = reportUntilStopped([&] { exitStatus = service_->terminate(); });
  EXPECT_EQ(exitStatus, 0);
  ASSERT_GE(acknowledged.size(), kAcknowledgedBeforeStop);
  service_->restart();
  const std::set<std::string> stored = storedTexts();
  for (const auto& text : acknowledged) EXPECT_TRUE(stored.count(text)) << "lost: " << text;
}

INSTANTIATE_TEST_SUITE_P(Stores, DurabilityTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
