// Attacks on the transport, each beside a normal client: the attacker's
// connections come from 127.0.0.2, the normal client's from 127.0.0.1. The
// normal client must keep getting quick answers and no 503.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using Clock = std::chrono::steady_clock;
using testkit::HttpReply;
using testkit::sendAll;

constexpr std::string_view kAttacker = "127.0.0.2";
constexpr std::string_view kOtherAddress = "127.0.0.3";

// What a normal WriteLog client saw while an attack ran.
struct NormalClientRecord {
  std::vector<double> latenciesMs;
  int succeeded = 0;
  int overloaded = 0;  // 503
  int otherwise = 0;

  double median() {
    if (latenciesMs.empty()) return 1e9;
    std::sort(latenciesMs.begin(), latenciesMs.end());
    return latenciesMs[latenciesMs.size() / 2];
  }
  void print(const char* beside) {
    std::printf("normal client beside %s: %d answered, %d refused with 503, %d otherwise; median %.2f ms\n", beside,
                succeeded, overloaded, otherwise, median());
  }
};

// One WriteLog every `pause` until `until`, as the client makes it.
NormalClientRecord runNormalClient(std::uint16_t port, Clock::time_point until, std::chrono::milliseconds pause) {
  NormalClientRecord record;
  while (Clock::now() < until) {
    const auto sent = Clock::now();
    const HttpReply reply = testkit::callWebMethod(port, "WriteLog", kValidLog);
    record.latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    if (intResult(reply) == 1) {
      ++record.succeeded;
    } else if (reply.status == 503) {
      ++record.overloaded;
    } else {
      ++record.otherwise;
    }
    std::this_thread::sleep_for(pause);
  }
  return record;
}

TEST(AttackTest, BlankLineFloodLeavesOthersServedAndIsCutOffAtTheHeaderLimit) {
  RunningService service(Backend::Sqlite);
  // Within the head limit, leading blank lines are still tolerated.
  EXPECT_EQ(intResult(testkit::exchange(service.port(), std::string(1000, '\n') +
                                                            testkit::webMethodRequest("WriteLog", kValidLog))),
            1);
  // Past it, the flood is answered as a head that is too large.
  const int probe = testkit::connectLoopback(service.port(), kAttacker);
  ASSERT_GE(probe, 0) << "cannot bind " << kAttacker;
  sendAll(probe, std::string(40'000, '\r') + "\n");
  EXPECT_EQ(testkit::readReply(probe, 5000).status, 431);
  close(probe);

  // "\r\n" * 2,000,000 again and again, from two connections at a time.
  const auto until = Clock::now() + std::chrono::seconds(10);
  std::atomic<long long> floodBytes{0};
  std::vector<std::thread> attackers;
  for (int a = 0; a < 2; ++a) {
    attackers.emplace_back([&] {
      std::string flood;
      for (int i = 0; i < 2'000'000; ++i) flood += "\r\n";
      for (int connection = 0; connection < 10'000 && Clock::now() < until; ++connection) {
        const int fd = testkit::connectLoopback(service.port(), kAttacker);
        if (fd < 0) continue;
        timeval sendLimit{0, 200'000};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
        for (int round = 0; round < 1000 && Clock::now() < until; ++round) {
          const ssize_t sent = send(fd, flood.data(), flood.size(), MSG_NOSIGNAL);
          if (sent <= 0) break;
          floodBytes += sent;
        }
        close(fd);
      }
    });
  }
  NormalClientRecord normal = runNormalClient(service.port(), until, std::chrono::milliseconds(20));
  for (auto& attacker : attackers) attacker.join();
  normal.print("a blank-line flood");

  EXPECT_GT(floodBytes.load(), 1'000'000);
  EXPECT_GT(normal.succeeded, 50);
  EXPECT_EQ(normal.overloaded, 0);
  EXPECT_EQ(normal.otherwise, 0);
  EXPECT_LT(normal.median(), 50.0) << "median latency in ms of the normal client";
}

// Connections from one address that send a request line and then a byte every
// 3 seconds, topped up whenever the service drops one, up to `target` at once.
void holdSlowConnections(std::uint16_t port, std::size_t target, Clock::time_point until,
                         std::atomic<std::size_t>& mostHeld) {
  std::vector<int> open;
  auto lastTrickle = Clock::now();
  for (int step = 0; step < 100'000 && Clock::now() < until; ++step) {
    for (std::size_t tries = 0; open.size() < target && tries < 200; ++tries) {
      const int fd = testkit::connectLoopback(port, kAttacker);
      if (fd < 0) break;
      if (!sendAll(fd, "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\n")) {
        close(fd);
        continue;
      }
      open.push_back(fd);
    }
    mostHeld = std::max(mostHeld.load(), open.size());
    // Whatever the service sent (a refusal, a time-out) or closed ends that connection.
    std::vector<pollfd> ready;
    for (int fd : open) ready.push_back({fd, POLLIN, 0});
    poll(ready.data(), ready.size(), 50);
    const bool trickle = Clock::now() - lastTrickle >= std::chrono::seconds(3);
    if (trickle) lastTrickle = Clock::now();
    std::vector<int> kept;
    for (const pollfd& entry : ready) {
      if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) || (trickle && !sendAll(entry.fd, "X"))) {
        close(entry.fd);
      } else {
        kept.push_back(entry.fd);
      }
    }
    open.swap(kept);
  }
  for (int fd : open) close(fd);
}

TEST(AttackTest, SlowConnectionsFromOneAddressDoNotLockOthersOut) {
  raiseDescriptorLimit();
  // A cap the attacker can reach from here; the per-address cap stays at its default.
  RunningService service(Backend::Sqlite, {"--max-connections", "1000"});
  const int probe = testkit::connectLoopback(service.port(), kAttacker);
  ASSERT_GE(probe, 0) << "cannot bind " << kAttacker;
  close(probe);
  const auto until = Clock::now() + std::chrono::seconds(15);
  std::atomic<std::size_t> mostHeld{0};
  std::thread attacker([&] { holdSlowConnections(service.port(), 1200, until, mostHeld); });
  std::this_thread::sleep_for(std::chrono::seconds(2));  // the attack is in full swing first
  NormalClientRecord normal = runNormalClient(service.port(), until, std::chrono::milliseconds(50));
  attacker.join();
  normal.print("slow connections from one address");
  std::printf("slow connections held at most: %zu\n", mostHeld.load());

  EXPECT_GT(mostHeld.load(), 500u) << "the attack never got going";
  EXPECT_GT(normal.succeeded, 50);
  EXPECT_EQ(normal.overloaded, 0);
  EXPECT_EQ(normal.otherwise, 0);
  EXPECT_LT(normal.median(), 50.0) << "median latency in ms of the normal client";
}

// Idle connections (nothing sent) from many addresses, each address under the
// per-address and reserved limits, topped up whenever the service closes one,
// until they fill the whole table.
TEST(AttackTest, IdleConnectionsFromManyAddressesFillingTheTableDoNotLockOthersOut) {
  raiseDescriptorLimit();
  constexpr int kAddresses = 200, kPerAddress = 15;
  RunningService service(Backend::Sqlite, {"--max-connections", std::to_string(kAddresses * kPerAddress),
                                           "--head-timeout-ms", "60000", "--request-timeout-ms", "60000"});
  const auto until = Clock::now() + std::chrono::seconds(12);
  std::atomic<std::size_t> held{0}, mostHeld{0};
  std::thread attacker([&] {
    std::vector<std::vector<int>> open(kAddresses);
    while (Clock::now() < until) {
      std::size_t total = 0;
      std::vector<pollfd> ready;
      for (int a = 0; a < kAddresses; ++a) {
        const std::string source = "127.0.1." + std::to_string(a + 1);
        while (open[a].size() < kPerAddress) {
          const int fd = testkit::connectLoopback(service.port(), source);
          if (fd < 0) break;
          open[a].push_back(fd);
        }
        total += open[a].size();
        for (int fd : open[a]) ready.push_back({fd, POLLIN, 0});
      }
      held = total;
      mostHeld = std::max(mostHeld.load(), total);
      poll(ready.data(), ready.size(), 20);
      std::size_t at = 0;
      for (auto& fds : open) {
        std::vector<int> kept;
        for (int fd : fds) {
          if (ready[at++].revents) {
            close(fd);
          } else {
            kept.push_back(fd);
          }
        }
        fds.swap(kept);
      }
    }
    for (auto& fds : open) {
      for (int fd : fds) close(fd);
    }
  });
  while (mostHeld < static_cast<std::size_t>(kAddresses * kPerAddress) - 50 && Clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  NormalClientRecord normal = runNormalClient(service.port(), until, std::chrono::milliseconds(20));
  attacker.join();
  normal.print("idle connections filling the table from 200 addresses");
  const int calls = normal.succeeded + normal.overloaded + normal.otherwise;
  std::printf("idle connections held at most: %zu; normal client's answered share: %.1f %%\n", mostHeld.load(),
              calls ? 100.0 * normal.succeeded / calls : 0.0);

  EXPECT_GE(mostHeld.load(), static_cast<std::size_t>(kAddresses * kPerAddress) - 50) << "the attack never got going";
  EXPECT_GT(normal.succeeded, 100);
  EXPECT_GE(normal.succeeded, calls * 99 / 100);
  EXPECT_LT(normal.median(), 50.0) << "median latency in ms of the normal client";
}

TEST(AttackTest, OneAddressIsHeldToItsConnectionCapAndOthersGetIn) {
  RunningService service(Backend::Sqlite, {"--max-connections-per-address", "5", "--head-timeout-ms", "60000",
                                           "--request-timeout-ms", "60000"});
  std::vector<int> held;
  for (int i = 0; i < 5; ++i) {
    held.push_back(testkit::connectLoopback(service.port(), kAttacker));
    ASSERT_GE(held.back(), 0);
  }
  // Accepted in order of arrival, so this is the sixth from the address.
  const HttpReply refused = testkit::exchange(service.port(), testkit::webMethodRequest("WriteLog", kValidLog),
                                              5000, kAttacker);
  EXPECT_EQ(refused.status, 503);
  EXPECT_NE(refused.body.find("from this address"), std::string::npos) << refused.body;
  EXPECT_EQ(intResult(testkit::exchange(service.port(), testkit::webMethodRequest("WriteLog", kValidLog), 5000,
                                        kOtherAddress)),
            1);
  close(held.back());
  held.pop_back();
  std::optional<long long> result;  // the close is noticed when the server next runs
  for (int attempt = 0; attempt < 100 && result != 1; ++attempt) {
    result = intResult(testkit::exchange(service.port(), testkit::webMethodRequest("WriteLog", kValidLog), 5000,
                                         kAttacker));
    if (result != 1) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(result, 1);
  for (int fd : held) close(fd);
}

TEST(AttackTest, TheLastSlotsAreKeptForAddressesHoldingFew) {
  RunningService service(Backend::Sqlite, {"--max-connections", "60", "--reserved-connections", "20",
                                           "--head-timeout-ms", "60000", "--request-timeout-ms", "60000"});
  std::vector<int> held;
  for (int i = 0; i < 60; ++i) held.push_back(testkit::connectLoopback(service.port(), kAttacker));
  // The attacker's 41st and later were turned away; others still find room.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int stillOpen = 0;
  for (int fd : held) {
    pollfd ready{fd, POLLIN, 0};
    stillOpen += poll(&ready, 1, 0) == 0;
  }
  EXPECT_EQ(stillOpen, 40);
  EXPECT_EQ(intResult(testkit::exchange(service.port(), testkit::webMethodRequest("WriteLog", kValidLog), 5000,
                                        kOtherAddress)),
            1);
  for (int fd : held) close(fd);
}

TEST(AttackTest, TheHeadHasATimeOutOfItsOwnAndTheBodyTheRequestTimeOut) {
  RunningService service(Backend::Sqlite, {"--head-timeout-ms", "1000", "--request-timeout-ms", "60000"});
  const std::string request = testkit::webMethodRequest("WriteLog", kValidLog);
  const std::size_t headLength = request.find("\r\n\r\n") + 4;

  // A head trickled a byte every 200 ms is cut off after about a second.
  const int slowHead = testkit::connectLoopback(service.port());
  const auto start = Clock::now();
  bool cutOff = false;
  for (std::size_t i = 0; i < headLength && Clock::now() - start < std::chrono::seconds(10); ++i) {
    pollfd ready{slowHead, POLLIN, 0};
    if (poll(&ready, 1, 200) > 0) {
      cutOff = true;
      break;
    }
    if (!sendAll(slowHead, request.substr(i, 1))) break;
  }
  const HttpReply timedOut = testkit::readReply(slowHead, 5000);
  close(slowHead);
  EXPECT_TRUE(cutOff);
  EXPECT_EQ(timedOut.status, 408);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));

  // A whole head at once, then a body that takes longer than the head time-out.
  const int slowBody = testkit::connectLoopback(service.port());
  ASSERT_TRUE(sendAll(slowBody, request.substr(0, headLength)));
  for (std::size_t i = headLength; i < request.size(); i += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ASSERT_TRUE(sendAll(slowBody, request.substr(i, 10)));
  }
  EXPECT_EQ(intResult(testkit::readReply(slowBody, 5000)), 1);
  close(slowBody);
}

TEST(AttackTest, HeaderValuesWithABareCarriageReturnOrANulAreRefused) {
  RunningService service(Backend::Sqlite);
  const std::string body = kValidLog;
  for (const std::string& value : {std::string("a\rb"), std::string("a\0b", 3), std::string("a\r")}) {
    const std::string request = "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nX-Note: " + value +
                                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    EXPECT_EQ(testkit::exchange(service.port(), request).status, 400);
  }
  EXPECT_TRUE(service.exportJson("logs.json").empty());
}

}  // namespace
}  // namespace zandle::servicetest
