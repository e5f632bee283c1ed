// What a hostile client tries once the obvious doors are shut: filling the
// connection table with idle connections, bodies larger than the method takes
// sent slowly, guessing login detail ids, and a store that fails every write
// (a full disk) flooding the log.
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "service_test_support.h"
#include "testkit/keep_alive_client.h"

namespace zandle::servicetest {
namespace {

using Clock = std::chrono::steady_clock;
using testkit::HttpReply;
using testkit::sendAll;

constexpr std::string_view kAttacker = "127.0.0.2";
constexpr std::string_view kOther = "127.0.0.3";
const std::string kPartialHead = "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\n";

// True once the server has closed its side (or sent something).
bool closedByServer(int fd, int waitMs = 1000) {
  pollfd ready{fd, POLLIN, 0};
  return poll(&ready, 1, waitMs) > 0;
}

// Everything until the server closes; `reset` tells whether it ended in a reset.
HttpReply readToTheEnd(int fd, bool& reset) {
  std::string raw;
  reset = false;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 5000) <= 0) break;
    char chunk[4096];
    const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got < 0) reset = errno == ECONNRESET;
    if (got <= 0) break;
    raw.append(chunk, static_cast<std::size_t>(got));
  }
  return testkit::parseReply(raw);
}

std::size_t residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::stoul(line.substr(6));
  }
  return 0;
}

TEST(HostileClientTest, UnderAFullTableIdleConnectionsMakeRoomOldestFirst) {
  RunningService service(Backend::Sqlite, {"--max-connections", "30", "--reserved-connections", "0",
                                           "--head-timeout-ms", "60000", "--request-timeout-ms", "60000"});
  std::vector<int> idle;
  for (int i = 0; i < 30; ++i) {
    idle.push_back(testkit::connectLoopback(service.port(), kAttacker));
    ASSERT_GE(idle.back(), 0) << "cannot bind " << kAttacker;
    if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(intResult(testkit::exchange(service.port(), testkit::webMethodRequest("WriteLog", kValidLog), 5000,
                                        kOther)),
            1);
  // The one that waited longest went; the others are still open.
  EXPECT_TRUE(closedByServer(idle.front()));
  EXPECT_FALSE(closedByServer(idle[1], 100));
  EXPECT_FALSE(closedByServer(idle.back(), 100));
  for (int fd : idle) close(fd);
}

TEST(HostileClientTest, WhenEveryConnectionIsBusyARefusalIsA503ReadAndAnswered) {
  RunningService service(Backend::Sqlite, {"--max-connections", "20", "--reserved-connections", "0",
                                           "--head-timeout-ms", "60000", "--request-timeout-ms", "60000"});
  std::vector<int> busy;
  for (int i = 0; i < 20; ++i) {
    busy.push_back(testkit::connectLoopback(service.port(), kAttacker));
    ASSERT_TRUE(sendAll(busy.back(), kPartialHead));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // As a client does it: connect, send at once, then read.
  for (int round = 0; round < 3; ++round) {
    const int fd = testkit::connectLoopback(service.port(), kOther);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(sendAll(fd, testkit::webMethodRequest("WriteLog", kValidLog + "&pad=" + std::string(2000, 'x'))));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Windows drops what arrived before a reset: the reply must end in an orderly close.
    bool reset = false;
    const HttpReply refused = readToTheEnd(fd, reset);
    close(fd);
    EXPECT_FALSE(reset) << round;
    EXPECT_EQ(refused.status, 503) << round;
    EXPECT_EQ(refused.header("Retry-After"), "1");
  }
  for (int fd : busy) close(fd);
}

TEST(HostileClientTest, ABodyOverTheMethodsLimitIsRefusedAsSoonAsTheHeadArrives) {
  RunningService service(Backend::Sqlite);
  const auto start = Clock::now();
  const HttpReply refused = testkit::exchange(
      service.port(), "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: 5000\r\n\r\n", 3000);
  EXPECT_EQ(refused.status, 413);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  const HttpReply login =
      testkit::exchange(service.port(), "POST /login HTTP/1.0\r\nContent-Length: 60000\r\n\r\n", 3000);
  EXPECT_EQ(login.status, 413);
  EXPECT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
}

// Connections from four addresses, each sending the head of the largest form
// the service takes and most of its body, then waiting.
TEST(HostileClientTest, MemoryTakenBySlowBodiesIsGivenBackAfterTheAttack) {
  raiseDescriptorLimit();
  RunningService service(Backend::Sqlite, {"--head-timeout-ms", "60000", "--request-timeout-ms", "60000"});
  const pid_t pid = service.process().pid();
  ASSERT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
  const std::size_t before = residentKiB(pid);
  constexpr std::size_t kBody = 60'000;
  const std::string head = "POST /config HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n";
  const std::string most(kBody - 100, 'x');
  std::vector<int> slow;
  for (int address = 2; address <= 5; ++address) {
    for (int i = 0; i < 500; ++i) {
      const int fd = testkit::connectLoopback(service.port(), "127.0.0." + std::to_string(address));
      if (fd < 0) break;
      sendAll(fd, head);
      // In pieces, as a slow sender's bytes arrive.
      for (std::size_t at = 0; at < most.size(); at += 8192) sendAll(fd, most.substr(at, 8192));
      slow.push_back(fd);
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::size_t peak = residentKiB(pid);
  for (int fd : slow) close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
  const std::size_t after = residentKiB(pid);
  std::printf("slow-body flood of %zu connections: %zu KiB before, %zu KiB at the peak, %zu KiB after\n",
              slow.size(), before, peak, after);
  EXPECT_GT(slow.size(), 1500u);
  EXPECT_GT(peak, before + 50'000) << "the attack never took memory";
  EXPECT_LT(after, before + 20'000);
}

TEST(HostileClientTest, GuessingLoginDetailIdsIsCutShortPerAddress) {
  RunningService service(Backend::Sqlite);
  const std::int64_t real = intResult(service.call("UserEnter", "strLoginUIN=7&strModelNameVer=Tool,1.0")).value_or(0);
  ASSERT_GT(real, 0);
  std::mt19937 random(18);
  int unknown = 0, limited = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string id = std::to_string(random() % 2'000'000'000 + 1);
    const HttpReply reply = testkit::exchange(
        service.port(), testkit::webMethodRequest("UserLeave", "nLoginDetailID=" + id), 5000, kAttacker);
    unknown += intResult(reply) == 0;
    if (reply.status == 429) {
      ++limited;
      EXPECT_FALSE(reply.header("Retry-After").empty());
    }
  }
  EXPECT_LE(unknown, 12);
  EXPECT_EQ(unknown + limited, 40);
  // Another address, and the real session's owner, are not held up.
  EXPECT_EQ(intResult(testkit::exchange(service.port(), testkit::webMethodRequest("UserLeave", "nLoginDetailID=5"),
                                        5000, kOther)),
            0);
  EXPECT_EQ(intResult(service.call("UserLeave", "nLoginDetailID=" + std::to_string(real))), 1);
}

TEST(HostileClientTest, AStoreThatFailsEveryWriteLogsALineASecondWithACount) {
  RunningService service(Backend::Sqlite);
  ASSERT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
  service.terminate();
  {
    // Every insert fails, as on a full disk.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(service.store().substr(std::string_view("sqlite:").size()).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER full_disk BEFORE INSERT ON log_lines "
                           "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  service.restart();
  const auto start = Clock::now();
  testkit::KeepAliveClient client(service.port());
  int failed = 0;
  for (int i = 0; i < 500; ++i) failed += client.call("WriteLog", kValidLog).status == 503;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const std::string log = service.process().log();
  std::size_t lines = 0;
  for (std::size_t at = log.find("disk is full"); at != std::string::npos; at = log.find("disk is full", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(failed, 500);
  EXPECT_GE(lines, 1u);
  EXPECT_LE(lines, static_cast<std::size_t>(seconds) + 3) << log.substr(0, 3000);
  // The line held back is written whole.
  const std::size_t coalesced = log.find("times since the last line");
  ASSERT_NE(coalesced, std::string::npos);
  const std::size_t lineStart = log.rfind('\n', coalesced) + 1;
  EXPECT_NE(log.substr(lineStart, coalesced - lineStart).find("error: store writer: transaction of 1 job(s) failed"),
            std::string::npos)
      << log.substr(lineStart, coalesced - lineStart);
  EXPECT_EQ(log.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace zandle::servicetest
