// The dashboard's sign-in lockout as a guesser meets it: it outlasts a flood
// of failures from other addresses, takes an IPv6 /64 as one address, says
// when to come back, is logged once, and behind proxies counts the address
// the nearest untrusted hop gave, whatever the client wrote before it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

// One keep-alive connection for many sign-ins in a row.
class SignInConnection {
 public:
  explicit SignInConnection(std::uint16_t port) : fd_(testkit::connectLoopback(port)) {}
  ~SignInConnection() { close(fd_); }

  int signIn(std::string_view token, std::string_view headers) {
    const std::string body = "token=" + std::string(token);
    const std::string request = "POST /login HTTP/1.1\r\nHost: x\r\n" + std::string(headers) +
                                "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    if (!testkit::sendAll(fd_, request)) return 0;
    // Head, then as many body bytes as Content-Length says.
    while (received_.find("\r\n\r\n") == std::string::npos && fill()) {
    }
    const std::size_t headEnd = received_.find("\r\n\r\n");
    if (headEnd == std::string::npos) return 0;
    const HttpReply reply = testkit::parseReply(received_.substr(0, headEnd + 4));
    const std::size_t length = std::strtoul(reply.header("Content-Length").c_str(), nullptr, 10);
    while (received_.size() < headEnd + 4 + length && fill()) {
    }
    received_.erase(0, headEnd + 4 + length);
    return reply.status;
  }

 private:
  bool fill() {
    char chunk[16384];
    const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    received_.append(chunk, static_cast<std::size_t>(got));
    return true;
  }
  int fd_;
  std::string received_;
};

class LockoutTest : public testing::Test {
 protected:
  void start(std::vector<std::string> arguments) {
    service_ = std::make_unique<RunningService>(Backend::Sqlite, std::move(arguments));
  }
  HttpReply signIn(std::string_view token, std::string_view headers) const {
    const std::string body = "token=" + std::string(token);
    return testkit::exchange(service_->port(), "POST /login HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                                                   std::string(headers) +
                                                   "Content-Type: application/x-www-form-urlencoded\r\n"
                                                   "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  }
  void lockOutAndFlood(int floodAddresses);
  std::size_t lockoutLines() const {
    const std::string log = service_->process().log();
    std::size_t count = 0;
    for (std::size_t at = log.find("locked out"); at != std::string::npos; at = log.find("locked out", at + 1)) {
      ++count;
    }
    return count;
  }
  std::unique_ptr<RunningService> service_;
};

// Without a store the lockout lives in memory, in tables of bounded size; with one, in the store.
TEST_F(LockoutTest, ALockoutOutlastsAFloodOfFailuresFromOtherAddressesAndIsLoggedOnce) {
  for (const bool inStore : {false, true}) {
    SCOPED_TRACE(inStore ? "in the store" : "in memory");
    std::vector<std::string> arguments{"--trusted-proxy", "127.0.0.1"};
    if (!inStore) arguments.insert(arguments.end(), {"--store", "none"});
    start(arguments);
    lockOutAndFlood(inStore ? 1'000 : 12'000);
  }
}

void LockoutTest::lockOutAndFlood(int floodAddresses) {
  const std::string guesser = "X-Forwarded-For: 192.0.2.7\r\n";
  for (int attempt = 0; attempt < 10; ++attempt) EXPECT_EQ(signIn("wrong-" + std::to_string(attempt), guesser).status, 401);
  const HttpReply locked = signIn(kToken, guesser);
  EXPECT_EQ(locked.status, 429);
  const int retryAfter = std::atoi(locked.header("Retry-After").c_str());
  EXPECT_GE(retryAfter, 14 * 60) << locked.head;
  EXPECT_LE(retryAfter, 15 * 60) << locked.head;

  // One wrong token each from more addresses than the table held before.
  SignInConnection flood(service_->port());
  int refusedInFlood = 0;
  for (int i = 0; i < floodAddresses; ++i) {
    const std::string address = "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256);
    const int status = flood.signIn("wrong", "X-Forwarded-For: " + address + "\r\n");
    ASSERT_NE(status, 0) << i;
    refusedInFlood += status == 429;
  }
  EXPECT_EQ(refusedInFlood, 0);
  EXPECT_EQ(signIn(kToken, guesser).status, 429);
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 192.0.2.8\r\n").status, 303);
  EXPECT_EQ(lockoutLines(), 1u) << service_->process().log().substr(0, 4000);
  EXPECT_NE(service_->process().log().find("192.0.2.7"), std::string::npos);
}

TEST_F(LockoutTest, AnIpv6Slash64IsOneAddress) {
  start({"--trusted-proxy", "127.0.0.1"});
  for (int host = 1; host <= 10; ++host) {
    EXPECT_EQ(signIn("wrong", "X-Forwarded-For: 2001:db8:1:2::" + std::to_string(host) + "\r\n").status, 401);
  }
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 2001:db8:1:2:ffff:ffff:ffff:5\r\n").status, 429);
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 2001:db8:1:3::1\r\n").status, 303);
}

TEST_F(LockoutTest, TheClientCannotChooseItsAddressByWritingForwardingLinesOfItsOwn) {
  // The proxy at 127.0.0.1 appends a line of its own; 10.0.0.1 is a second proxy in the chain.
  start({"--trusted-proxy", "127.0.0.1", "--trusted-proxy", "10.0.0.1"});
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string spoof = "X-Forwarded-For: 203.0.113." + std::to_string(attempt) + "\r\n";
    EXPECT_EQ(signIn("wrong", spoof + "X-Forwarded-For: 192.0.2.9\r\n").status, 401);
  }
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 198.51.100.1\r\nX-Forwarded-For: 192.0.2.9\r\n").status, 429);
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 198.51.100.2, 192.0.2.9, 10.0.0.1\r\n").status, 429);
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 192.0.2.9\r\nX-Forwarded-For: 192.0.2.10, 10.0.0.1\r\n").status, 303);

  // X-Forwarded-Proto likewise: the nearest proxy's word counts.
  const auto secure = [&](std::string_view headers) {
    return signIn(kToken, headers).header("Set-Cookie").find("; Secure") != std::string::npos;
  };
  EXPECT_FALSE(secure("X-Forwarded-Proto: https\r\nX-Forwarded-Proto: http\r\n"));
  EXPECT_TRUE(secure("X-Forwarded-Proto: http\r\nX-Forwarded-Proto: https\r\n"));
}

}  // namespace
}  // namespace zandle::servicetest
