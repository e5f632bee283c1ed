// Dashboard sign-ins and the sign-in lockout live in the store: instances on
// one store share them, and a restart signs no one out and unlocks no one.
#include <gtest/gtest.h>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

HttpReply signIn(const RunningService& service, std::string_view token, std::string_view headers = "") {
  const std::string body = "token=" + std::string(token);
  return testkit::exchange(service.port(), "POST /login HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                                               std::string(headers) +
                                               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                               std::to_string(body.size()) + "\r\n\r\n" + body);
}

HttpReply withCookie(const RunningService& service, const std::string& cookie) {
  return testkit::exchange(service.port(), "GET /tools HTTP/1.0\r\nCookie: " + cookie + "\r\n\r\n");
}

class SharedSignInTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    first_ = std::make_unique<RunningService>(GetParam(), std::vector<std::string>{"--trusted-proxy", "127.0.0.1"});
    if (first_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
    second_ = RunningService::sharingStoreWith(*first_);
  }
  std::unique_ptr<RunningService> first_, second_;
};

TEST_P(SharedSignInTest, ASessionIsGoodOnEveryInstanceAndOutlivesARestart) {
  const HttpReply signedIn = signIn(*first_, kToken);
  ASSERT_EQ(signedIn.status, 303);
  const std::string cookie = signedIn.header("Set-Cookie").substr(0, signedIn.header("Set-Cookie").find(';'));
  EXPECT_EQ(withCookie(*first_, cookie).status, 200);
  EXPECT_EQ(withCookie(*second_, cookie).status, 200);
  first_->restart();
  EXPECT_EQ(withCookie(*first_, cookie).status, 200);
  EXPECT_EQ(withCookie(*first_, "zandle_session=" + std::string(64, 'a')).status, 401);
}

TEST_P(SharedSignInTest, ALockoutHoldsOnEveryInstanceAndOutlivesARestart) {
  const std::string guesser = "X-Forwarded-For: 192.0.2.77\r\n";
  // Guesses spread over both instances are counted together.
  for (int attempt = 0; attempt < 10; ++attempt) {
    EXPECT_EQ(signIn(attempt % 2 ? *first_ : *second_, "wrong-" + std::to_string(attempt), guesser).status, 401);
  }
  EXPECT_EQ(signIn(*first_, kToken, guesser).status, 429);
  EXPECT_EQ(signIn(*second_, kToken, guesser).status, 429);
  second_->restart();
  const HttpReply locked = signIn(*second_, kToken, guesser);
  EXPECT_EQ(locked.status, 429);
  EXPECT_GE(std::atoi(locked.header("Retry-After").c_str()), 14 * 60);
  EXPECT_EQ(signIn(*second_, kToken, "X-Forwarded-For: 192.0.2.78\r\n").status, 303);
  // Logged once, by the instance that counted the tenth.
  const std::string logs = first_->process().log() + second_->process().log();
  std::size_t lines = 0;
  for (std::size_t at = logs.find("locked out"); at != std::string::npos; at = logs.find("locked out", at + 1)) ++lines;
  EXPECT_EQ(lines, 1u) << logs;
}

INSTANTIATE_TEST_SUITE_P(Stores, SharedSignInTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
