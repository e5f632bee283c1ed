// Signing in to the dashboard: the master token opens a session and is never
// shown again; sessions end on sign-out and at their expiry; forms carry the
// session's own token; wrong tokens are limited per address.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

std::size_t occurrences(const std::string& text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// The session id from a Set-Cookie header, or empty.
std::string sessionIdOf(const HttpReply& reply) {
  const std::string cookie = reply.header("Set-Cookie");
  constexpr std::string_view kName = "zandle_session=";
  if (!cookie.starts_with(kName)) return {};
  return cookie.substr(kName.size(), cookie.find(';') - kName.size());
}

std::string csrfOf(const std::string& page) {
  constexpr std::string_view kField = "name=\"csrf\" value=\"";
  const std::size_t at = page.find(kField);
  if (at == std::string::npos) return {};
  const std::size_t start = at + kField.size();
  return page.substr(start, page.find('"', start) - start);
}

int exitStatusOf(const std::string& arguments, int seconds = 10) {
  const std::string command =
      "timeout " + std::to_string(seconds) + " " ZANDLE_SERVICE_BINARY " --store none --listen 127.0.0.1:0 " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SessionTest : public testing::Test {
 protected:
  void start(std::vector<std::string> arguments = {}) {
    service_ = std::make_unique<RunningService>(Backend::Sqlite, std::move(arguments));
  }
  void SetUp() override { start(); }

  HttpReply send(std::string_view method, std::string_view target, std::string_view headers = "",
                 std::string_view body = "") const {
    std::string request = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: x\r\n";
    request += std::string(headers) + "Connection: close\r\n";
    if (method == "POST") {
      request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
                 "\r\n";
    }
    return testkit::exchange(service_->port(), request + "\r\n" + std::string(body));
  }
  HttpReply signIn(std::string_view token, std::string_view headers = "") const {
    return send("POST", "/login", headers, "token=" + std::string(token));
  }
  HttpReply withSession(std::string_view method, std::string_view target, const std::string& id,
                        std::string_view body = "") const {
    return send(method, target, "Cookie: other=1; zandle_session=" + id + "\r\n", body);
  }

  std::unique_ptr<RunningService> service_;
};

TEST_F(SessionTest, SignInOpensASessionAndNoPageCookieOrRedirectCarriesTheToken) {
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Painter,1.0")));
  const HttpReply signedIn = signIn(kToken);
  ASSERT_EQ(signedIn.status, 303);
  EXPECT_EQ(signedIn.header("Location"), "/");
  const std::string cookie = signedIn.header("Set-Cookie");
  const std::string id = sessionIdOf(signedIn);
  EXPECT_GE(id.size(), 32u);
  for (std::string_view attribute : {"; Path=/", "; HttpOnly", "; SameSite=Strict", "; Max-Age=43200"}) {
    EXPECT_NE(cookie.find(attribute), std::string::npos) << cookie;
  }
  EXPECT_EQ(cookie.find("Secure"), std::string::npos) << "plain HTTP here";
  EXPECT_EQ(occurrences(signedIn.head + signedIn.body, kToken), 0u);

  const HttpReply page = withSession("GET", "/", id);
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(occurrences(page.head + page.body, kToken), 0u);
  const std::string csrf = csrfOf(page.body);
  EXPECT_GE(csrf.size(), 32u);
  EXPECT_NE(csrf, id);
  EXPECT_EQ(withSession("GET", "/export/logs.csv", id).status, 200);
  // A script's page has nothing to sign out of, and no token either.
  const HttpReply scripted = service_->get("/");
  EXPECT_EQ(occurrences(scripted.head + scripted.body, kToken), 0u);
  // The old cookie that held the token itself opens nothing.
  EXPECT_EQ(send("GET", "/", "Cookie: zandle_token=" + std::string(kToken) + "\r\n").status, 401);
}

TEST_F(SessionTest, TokenInTheAddressIsSwappedForASessionAndLeavesTheAddress) {
  const HttpReply swapped =
      send("GET", "/export/logs.csv?from=2020-01-01&token=" + std::string(kToken) + "&tool=A%20B");
  ASSERT_EQ(swapped.status, 303);
  EXPECT_EQ(swapped.header("Location"), "/export/logs.csv?from=2020-01-01&tool=A%20B");
  const std::string id = sessionIdOf(swapped);
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(withSession("GET", "/export/logs.csv?from=2020-01-01&tool=A%20B", id).status, 200);

  const HttpReply home = send("GET", "/?token=" + std::string(kToken));
  EXPECT_EQ(home.status, 303);
  EXPECT_EQ(home.header("Location"), "/");
  EXPECT_EQ(occurrences(home.head + home.body, kToken), 0u);
  EXPECT_EQ(send("GET", "/?token=wrong-token-of-some-length").status, 401);
}

TEST_F(SessionTest, SignOutEndsTheSession) {
  const std::string id = sessionIdOf(signIn(kToken));
  const HttpReply page = withSession("GET", "/", id);
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("action=\"/logout\""), std::string::npos);
  EXPECT_EQ(withSession("POST", "/logout", id, "csrf=forged").status, 403);
  EXPECT_EQ(withSession("GET", "/", id).status, 200);

  const HttpReply out = withSession("POST", "/logout", id, "csrf=" + csrfOf(page.body));
  EXPECT_EQ(out.status, 303);
  EXPECT_NE(out.header("Set-Cookie").find("Max-Age=0"), std::string::npos);
  EXPECT_EQ(withSession("GET", "/", id).status, 401);
  EXPECT_EQ(withSession("GET", "/export/logs.json", id).status, 401);
}

TEST_F(SessionTest, SessionsEndAtTheirExpiry) {
  start({"--session-seconds", "1"});
  const HttpReply signedIn = signIn(kToken);
  EXPECT_NE(signedIn.header("Set-Cookie").find("Max-Age=1;"), std::string::npos);
  const std::string id = sessionIdOf(signedIn);
  EXPECT_EQ(withSession("GET", "/", id).status, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EXPECT_EQ(withSession("GET", "/", id).status, 401);
  EXPECT_EQ(withSession("GET", "/export/logs.json", id).status, 401);
}

TEST_F(SessionTest, FormsMustCarryTheirOwnSessionsFormToken) {
  const std::string id = sessionIdOf(signIn(kToken));
  const std::string other = sessionIdOf(signIn(kToken));
  const std::string csrf = csrfOf(withSession("GET", "/", id).body);
  const std::string otherCsrf = csrfOf(withSession("GET", "/", other).body);
  const std::string form = "&action=save&model=A&warningLevel=1&functions=F";
  EXPECT_EQ(withSession("POST", "/config", id, form.substr(1)).status, 403);
  EXPECT_EQ(withSession("POST", "/config", id, "csrf=" + std::string(kToken) + form).status, 403);
  EXPECT_EQ(withSession("POST", "/config", id, "csrf=" + otherCsrf + form).status, 403);
  EXPECT_TRUE(service_->exportJson("config.json").empty());
  const HttpReply saved = withSession("POST", "/config", id, "csrf=" + csrf + form);
  EXPECT_EQ(saved.status, 303);
  EXPECT_EQ(occurrences(saved.head, kToken), 0u);
  EXPECT_EQ(service_->exportJson("config.json").size(), 1u);
}

TEST_F(SessionTest, WrongTokensAreLimitedPerAddress) {
  start({"--trusted-proxy", "127.0.0.1"});
  const std::string attacker = "X-Forwarded-For: 192.0.2.7\r\n";
  for (int attempt = 0; attempt < 10; ++attempt) {
    EXPECT_EQ(signIn("guess-number-" + std::to_string(attempt), attacker).status, 401) << attempt;
  }
  // Now even the right token is refused from there, by every door.
  EXPECT_EQ(signIn(kToken, attacker).status, 429);
  EXPECT_EQ(send("GET", "/export/logs.json", attacker + "Authorization: Bearer " + std::string(kToken) + "\r\n").status,
            429);
  EXPECT_EQ(send("GET", "/?token=" + std::string(kToken), attacker).status, 429);
  // Another address is not held up.
  EXPECT_EQ(signIn(kToken, "X-Forwarded-For: 192.0.2.8\r\n").status, 303);
}

TEST_F(SessionTest, CookiesAreSecureOnlyWhenATrustedProxySaysHttps) {
  const std::string https = "X-Forwarded-Proto: https\r\n";
  EXPECT_EQ(signIn(kToken, https).header("Set-Cookie").find("Secure"), std::string::npos);
  start({"--trusted-proxy", "127.0.0.1"});
  EXPECT_NE(signIn(kToken, https).header("Set-Cookie").find("; Secure"), std::string::npos);
  EXPECT_EQ(signIn(kToken, "X-Forwarded-Proto: http\r\n").header("Set-Cookie").find("Secure"), std::string::npos);
}

TEST(DashboardTokenTest, ShortTokensAreRefused) {
  EXPECT_EQ(exitStatusOf("--token fifteen-chars-x"), 2);
  testkit::TemporaryDirectory directory;
  const std::string file = directory.path() + "/token";
  std::ofstream(file) << "short\n";
  EXPECT_NE(exitStatusOf("--token-file " + file), 0);
  // Long enough: it serves until timeout ends it.
  EXPECT_EQ(exitStatusOf("--token sixteen-chars-xy", 2), 124);
}

}  // namespace
}  // namespace zandle::servicetest
