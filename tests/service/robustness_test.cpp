// Hostile and broken clients: the service answers or drops them, stores
// nothing wrong, and keeps serving everyone else.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;
using testkit::sendAll;

constexpr std::string_view kRequestTimeoutMs = "1000";
constexpr int kWellPastTimeoutMs = 8000;
// The start of a TLS handshake, NUL bytes included, sent to the plain-HTTP port.
constexpr char kTlsHello[] = "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n";

class RobustnessTest : public testing::Test {
 protected:
  // Later flags win, so `extra` may override the short request timeout.
  void start(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments{"--request-timeout-ms", std::string(kRequestTimeoutMs)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    service_ = std::make_unique<RunningService>(Backend::Sqlite, arguments);
  }
  void SetUp() override { start(); }
  void expectStillServing() {
    EXPECT_EQ(intResult(service_->call("WriteLog", kValidLog)), 1) << service_->process().log();
  }
  std::size_t storedLines() { return service_->exportJson("logs.json").size(); }

  std::unique_ptr<RunningService> service_;
};

TEST_F(RobustnessTest, BodiesOverTheLimitAreRefusedAndThoseAtTheLimitTaken) {
  // The largest WriteLog body the client can build is taken; the server's own
  // limit (--max-body) refuses larger bodies before any handler sees them.
  const std::string prefix = "strLoginUIN=1&strLogInfo=Tool,1.0[";
  const std::string suffix = "]&nLogLevel=0";
  const std::string atLimit = prefix + std::string(4096 - prefix.size() - suffix.size(), 'x') + suffix;
  EXPECT_EQ(intResult(service_->call("WriteLog", atLimit)), 1);
  const std::string overServerLimit = prefix + std::string(64 * 1024 - prefix.size() - suffix.size() + 1, 'x') + suffix;
  const HttpReply over = service_->call("WriteLog", overServerLimit);
  EXPECT_EQ(over.status, 413);
  EXPECT_NE(over.body.find("Request body too large"), std::string::npos) << over.body;
  const HttpReply huge = testkit::exchange(
      service_->port(), "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: "
                        "99999999999999999999999999\r\n\r\n");
  EXPECT_EQ(huge.status, 413);
  EXPECT_EQ(storedLines(), 1u);
  expectStillServing();
}

TEST_F(RobustnessTest, TruncatedBodiesStoreNothing) {
  const std::string request = testkit::webMethodRequest("WriteLog", kValidLog);
  const int fd = testkit::connectLoopback(service_->port());
  ASSERT_TRUE(sendAll(fd, request.substr(0, request.size() - 10)));
  shutdown(fd, SHUT_WR);
  const HttpReply reply = testkit::readReply(fd, kWellPastTimeoutMs);
  close(fd);
  EXPECT_FALSE(reply.received && reply.status == 200);
  EXPECT_EQ(storedLines(), 0u);
  expectStillServing();
}

TEST_F(RobustnessTest, InvalidEscapesAndInvalidUtf8AreStoredReadably) {
  const std::string body =
      "strLoginUIN=1&strLogInfo=Tool,1.0[%zz %4 %% \xff\xfe %C3%28 nul%00 \xe4\xb8\xad]&nLogLevel=0";
  ASSERT_EQ(intResult(service_->call("WriteLog", body)), 1);
  const auto lines = service_->exportJson("logs.json");  // a strict parser: valid UTF-8 JSON
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["text"], "%zz %4 %% \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD( nul\xEF\xBF\xBD \xe4\xb8\xad");
  const HttpReply csv = service_->get("/export/logs.csv");
  EXPECT_EQ(csv.status, 200);
  const HttpReply page = service_->get("/");
  EXPECT_EQ(page.status, 200);
}

TEST_F(RobustnessTest, MalformedRequestsGetErrorsNotCrashes) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"GARBAGE\r\n\r\n", 400},
      {"GET\r\n\r\n", 400},
      {"POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/2.0\r\n\r\n", 505},
      {"POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nno colon here\r\n\r\n", 400},
      {"POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\n\r\n", 411},
      {"POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501},
      {"POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", 400},
      {"POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: -5\r\n\r\n", 400},
      {"GET / HTTP/1.0\r\nX: " + std::string(20'000, 'a') + "\r\n\r\n", 431},
      {std::string(kTlsHello, sizeof kTlsHello - 1), 400},
  };
  for (const auto& [request, status] : cases) {
    EXPECT_EQ(testkit::exchange(service_->port(), request).status, status) << request.substr(0, 80);
  }
  expectStillServing();
  EXPECT_EQ(storedLines(), 1u);
}

TEST_F(RobustnessTest, ClientsThatNeverFinishARequestAreCutOff) {
  const int silent = testkit::connectLoopback(service_->port());
  const int partial = testkit::connectLoopback(service_->port());
  ASSERT_TRUE(sendAll(partial, "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: 50\r\n\r\nstrLo"));
  expectStillServing();  // others are served meanwhile
  EXPECT_EQ(testkit::readReply(partial, kWellPastTimeoutMs).status, 408);
  char byte;
  EXPECT_EQ(recv(silent, &byte, 1, 0), 0);  // closed without a word
  close(silent);
  close(partial);

  // Trickling one byte at a time does not buy more time than a whole request gets.
  const int trickle = testkit::connectLoopback(service_->port());
  const std::string request = testkit::webMethodRequest("WriteLog", kValidLog);
  bool cutOff = false;
  for (std::size_t i = 0; i < request.size() && !cutOff; ++i) {
    cutOff = !sendAll(trickle, request.substr(i, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  cutOff = cutOff || !testkit::readReply(trickle, kWellPastTimeoutMs).received ||
           testkit::readReply(trickle, 0).status == 408;
  close(trickle);
  EXPECT_TRUE(cutOff);
  EXPECT_EQ(storedLines(), 1u);
}

TEST_F(RobustnessTest, ThousandsOfConcurrentConnectionsAreAllAnswered) {
  constexpr int kConnections = 2000;
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur < kConnections + 100) GTEST_SKIP() << "descriptor limit too low";

  std::vector<int> sockets;
  for (int i = 0; i < kConnections; ++i) {
    const int fd = testkit::connectLoopback(service_->port());
    ASSERT_GE(fd, 0) << "connection " << i;
    sockets.push_back(fd);
  }
  for (int i = 0; i < kConnections; ++i) {
    const std::string body = "strLoginUIN=" + std::to_string(i) + "&strLogInfo=Tool,1.0[many " + std::to_string(i) +
                             "]&nLogLevel=0";
    ASSERT_TRUE(sendAll(sockets[static_cast<std::size_t>(i)], testkit::webMethodRequest("WriteLog", body)));
  }
  int answered = 0;
  for (int fd : sockets) {
    answered += intResult(testkit::readReply(fd)) == 1;
    close(fd);
  }
  EXPECT_EQ(answered, kConnections);
  EXPECT_EQ(storedLines(), static_cast<std::size_t>(kConnections));
  expectStillServing();
}

TEST_F(RobustnessTest, ConnectionsBeyondTheCapAreTurnedAwayAtOnce) {
  // Idle connections must not time out while the test runs.
  start({"--max-connections", "20", "--head-timeout-ms", "60000", "--request-timeout-ms", "60000"});
  std::vector<int> idle;
  for (int i = 0; i < 20; ++i) {
    idle.push_back(testkit::connectLoopback(service_->port()));
    // A request begun: idle connections would make room.
    testkit::sendAll(idle.back(), "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\n");
  }
  // Connections are accepted in the order they arrive, so this one is the 21st.
  EXPECT_EQ(service_->call("WriteLog", kValidLog).status, 503);
  for (int fd : idle) close(fd);
  // The server notices the closes when it next runs; give it a bounded while.
  std::optional<long long> result;
  for (int attempt = 0; attempt < 100 && !result; ++attempt) {
    result = intResult(service_->call("WriteLog", kValidLog));
    if (!result) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(result, 1);
}

TEST_F(RobustnessTest, ClientsOverTheRateLimitGet429AndNothingStored) {
  start({"--rate-limit", "1", "--rate-burst", "3"});
  int accepted = 0, limited = 0;
  for (int i = 0; i < 8; ++i) {
    const HttpReply reply = service_->call("WriteLog", kValidLog);
    accepted += reply.status == 200;
    limited += reply.status == 429;
  }
  EXPECT_GE(accepted, 3);
  EXPECT_GE(limited, 1);
  EXPECT_EQ(accepted + limited, 8);
  EXPECT_EQ(storedLines(), static_cast<std::size_t>(accepted));
}

TEST_F(RobustnessTest, PipelinedKeepAliveRequestsAreAnsweredInOrder) {
  const std::string body = kValidLog;
  std::string one = "POST /WriteLogWeb/WriteLogWeb.asmx/UserEnter HTTP/1.1\r\nContent-Length: 38\r\n\r\n"
                    "strLoginUIN=1&strModelNameVer=Tool,1.0";
  std::string two = "POST /WriteLogWeb/WriteLogWeb.asmx/UserEnter HTTP/1.1\r\nContent-Length: 38\r\n"
                    "Connection: close\r\n\r\nstrLoginUIN=2&strModelNameVer=Tool,1.0";
  const HttpReply reply = testkit::exchange(service_->port(), one + two);
  EXPECT_EQ(reply.status, 200);
  const std::size_t second = reply.body.find("HTTP/1.1 200");
  ASSERT_NE(second, std::string::npos) << reply.body;
  const auto firstId = intResult(reply);
  const auto secondId = intResult(testkit::parseReply(reply.body.substr(second)));
  ASSERT_TRUE(firstId && secondId);
  EXPECT_NE(*firstId, *secondId);
  // In order: the second reply's session belongs to UIN 2.
  const auto sessions = service_->exportJson("sessions.json");
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[1]["uin"], 2);
}

}  // namespace
}  // namespace zandle::servicetest
