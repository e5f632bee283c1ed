// Dashboard, exports and configuration: guarded by the token, escaping
// everything clients sent, and counting right.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "common/text_escape.h"
#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

constexpr std::string_view kScript = "<script>alert(1)</script>";
constexpr std::string_view kImage = "\"><img src=x onerror=alert(2)>";

std::size_t occurrences(const std::string& text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// The number a headline figure of the overview shows.
std::string figure(const std::string& page, std::string_view id) {
  const std::size_t at = page.find("id=\"" + std::string(id) + "\"");
  if (at == std::string::npos) return "(none)";
  const std::size_t start = page.find("<b>", at) + 3;
  return page.substr(start, page.find("</b>", start) - start);
}

class DashboardTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  }
  // Signs in through the form and sends the request with the session's cookie.
  HttpReply withSession(std::string_view method, std::string_view target, std::string_view body = "") {
    if (session_.empty()) {
      const std::string cookie =
          testkit::postForm(service_->port(), "/login", "token=" + std::string(kToken), "").header("Set-Cookie");
      session_ = cookie.substr(0, cookie.find(';'));
    }
    std::string request = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: x\r\n";
    request += "Cookie: other=1; " + session_ + "\r\nConnection: close\r\n";
    if (method == "POST") {
      request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
                 "\r\n";
    }
    return testkit::exchange(service_->port(), request + "\r\n" + std::string(body));
  }
  std::string formToken() {
    const std::string page = withSession("GET", "/").body;
    constexpr std::string_view kField = "name=\"csrf\" value=\"";
    const std::size_t at = page.find(kField) + kField.size();
    return page.substr(at, page.find('"', at) - at);
  }
  void log(std::string_view tool, int level, std::string_view text) {
    ASSERT_EQ(intResult(service_->call("WriteLog", "strLoginUIN=9&strLogInfo=" + clientEncode(std::string(tool) +
                                                                                                ",1.0[" + std::string(text) + "]") +
                                                       "&nLogLevel=" + std::to_string(level))),
              1);
  }
  std::unique_ptr<RunningService> service_;
  std::string session_;
};

TEST_P(DashboardTest, EverythingButTheWebMethodsNeedsTheToken) {
  const HttpReply page = testkit::getWithToken(service_->port(), "/", "");
  EXPECT_EQ(page.status, 401);
  EXPECT_NE(page.body.find("name=\"token\""), std::string::npos);  // a sign-in form
  EXPECT_EQ(testkit::getWithToken(service_->port(), "/export/logs.json", "").status, 401);
  EXPECT_EQ(testkit::getWithToken(service_->port(), "/export/logs.json", "wrong").status, 401);
  EXPECT_EQ(testkit::getWithToken(service_->port(), "/export/logs.json?token=wrong", "").status, 401);
  EXPECT_EQ(testkit::postForm(service_->port(), "/config", "model=A&warningLevel=1&action=save", "").status, 401);
  EXPECT_EQ(testkit::postForm(service_->port(), "/login", "token=wrong", "").status, 401);
  EXPECT_GT(intResult(service_->call("UserEnter", "strLoginUIN=1&strModelNameVer=T,1")).value_or(0), 0);

  const HttpReply signIn = testkit::postForm(service_->port(), "/login", "token=" + std::string(kToken), "");
  EXPECT_EQ(signIn.status, 303);
  EXPECT_NE(signIn.header("Set-Cookie").find("HttpOnly; SameSite=Strict"), std::string::npos);
  const HttpReply viaQuery = testkit::getWithToken(service_->port(), "/?token=" + std::string(kToken), "");
  EXPECT_EQ(viaQuery.status, 303);
  EXPECT_EQ(viaQuery.header("Location"), "/");
  EXPECT_EQ(withSession("GET", "/").status, 200);
  EXPECT_EQ(service_->get("/export/nothing.json").status, 404);
}

TEST_P(DashboardTest, ConfigurationFormsFromACookieSessionMustCarryTheFormToken) {
  EXPECT_EQ(withSession("POST", "/config", "action=save&model=A&warningLevel=1&functions=F").status, 403);
  EXPECT_TRUE(service_->exportJson("config.json").empty());
  const std::string csrf = formToken();
  const HttpReply saved = withSession("POST", "/config", "csrf=" + csrf + "&action=save&model=A&warningLevel=1&functions=F");
  EXPECT_EQ(saved.status, 303);
  EXPECT_EQ(service_->exportJson("config.json").size(), 1u);
  EXPECT_EQ(withSession("POST", "/config", "csrf=" + csrf + "&action=delete&model=A").status, 303);
  EXPECT_TRUE(service_->exportJson("config.json").empty());
}

TEST_P(DashboardTest, ClientTextIsEscapedEverywhereOnThePage) {
  const std::string tool = std::string("Evil") + std::string(kImage);
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=" + clientEncode(tool) + ",1")));
  log(tool, 0, kScript);
  ASSERT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=1&strModelNameVer=" +
                                                         clientEncode(tool + "-1," + std::string(kScript)) +
                                                         "&nSatisLevel=1")),
            1);
  const HttpReply page = service_->get("/");
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(page.body.find("<script"), std::string::npos);
  EXPECT_EQ(page.body.find("<img"), std::string::npos);
  EXPECT_GE(occurrences(page.body, service::escapeHtml(kScript)), 2u);  // log line and function
  EXPECT_GE(occurrences(page.body, service::escapeHtml(kImage)), 2u);
  EXPECT_NE(page.header("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(page.header("Cache-Control"), "no-store");
}

TEST_P(DashboardTest, CsvCellsAreQuotedAndCannotBecomeFormulas) {
  log("Tool", 1, "=HYPERLINK(\"http://x\"),\"quoted\"\nnext");
  const HttpReply csv = service_->get("/export/logs.csv");
  EXPECT_EQ(csv.header("Content-Type"), "text/csv; charset=utf-8");
  EXPECT_NE(csv.body.find(",\"'=HYPERLINK(\"\"http://x\"\"),\"\"quoted\"\"\nnext\"\r\n"), std::string::npos) << csv.body;
}

TEST_P(DashboardTest, SummaryCountsSessionsUsersMedianAndSatisfaction) {
  awayFromMidnight();  // today's sessions are read back as today's
  std::vector<long long> ids;
  for (int uin : {1, 1, 2, 3}) {
    ids.push_back(*intResult(service_->call("UserEnter", "strLoginUIN=" + std::to_string(uin) +
                                                             "&strModelNameVer=Tool,1.0")));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    ASSERT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(ids[i]))), 1);
  }
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Tool,1.0")));
  for (int level : {1, 1, 2, 3, 5}) {
    ASSERT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=1&strModelNameVer=Tool-1.0,Save&nSatisLevel=" +
                                                           std::to_string(level))),
              1);
  }
  ASSERT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=1&strModelNameVer=Tool-1.0,Print&nSatisLevel=3")), 1);

  const auto summary = service_->exportJson("summary.json");
  EXPECT_EQ(summary["openSessions"], 1);
  EXPECT_EQ(summary["sessionsInPeriod"], 4);
  EXPECT_FALSE(summary["medianSessionSeconds"].is_null());
  const auto& today = summary["days"].back();
  EXPECT_EQ(today["sessions"], 4);
  EXPECT_EQ(today["distinctUsers"], 3);
  ASSERT_EQ(summary["functions"].size(), 2u);
  EXPECT_EQ(summary["functions"][0]["function"], "Print");  // by tool, then name
  const auto& save = summary["functions"][1];
  EXPECT_EQ(save["function"], "Save");
  EXPECT_EQ(save["reports"], 5);
  EXPECT_EQ(save["levels"], nlohmann::json({{"1", 2}, {"2", 1}, {"3", 1}}));
  EXPECT_EQ(save["otherLevels"], 1);
}

TEST_P(DashboardTest, ChoosingAToolCountsOnlyItsSessions) {
  awayFromMidnight();  // today's sessions are read back as today's
  std::vector<long long> alpha;
  for (int uin : {1, 2, 3}) {
    alpha.push_back(*intResult(service_->call("UserEnter", "strLoginUIN=" + std::to_string(uin) +
                                                               "&strModelNameVer=Alpha,1.0")));
  }
  ASSERT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(alpha[0]))), 1);
  for (int uin : {7, 8}) {
    ASSERT_TRUE(intResult(service_->call("UserEnter", "strLoginUIN=" + std::to_string(uin) + "&strModelNameVer=Beta,2.0")));
  }
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Alpha,1.0")));
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=7&strModelNameVer=Beta,2.0")));

  const auto everything = service_->exportJson("summary.json");
  EXPECT_EQ(everything["sessionsInPeriod"], 5);
  EXPECT_EQ(everything["openSessions"], 4);

  const auto beta = service_->exportJson("summary.json", "tool=Beta");
  EXPECT_EQ(beta["sessionsInPeriod"], 2);
  EXPECT_EQ(beta["openSessions"], 2);
  EXPECT_EQ(beta["days"].back()["sessions"], 2);
  EXPECT_EQ(beta["days"].back()["distinctUsers"], 2);
  EXPECT_TRUE(beta["medianSessionSeconds"].is_null());  // no Beta session has ended
  const auto alphaSummary = service_->exportJson("summary.json", "tool=Alpha");
  EXPECT_EQ(alphaSummary["sessionsInPeriod"], 3);
  EXPECT_EQ(alphaSummary["openSessions"], 2);
  EXPECT_FALSE(alphaSummary["medianSessionSeconds"].is_null());

  const auto sessions = service_->exportJson("sessions.json", "tool=Beta");
  ASSERT_EQ(sessions.size(), 2u);
  for (const auto& session : sessions) EXPECT_EQ(session["tool"], "Beta");
  const HttpReply csv = service_->get("/export/sessions.csv?tool=Beta");
  EXPECT_EQ(occurrences(csv.body, "\"Beta\""), 2u);
  EXPECT_EQ(occurrences(csv.body, "\"Alpha\""), 0u);

  const HttpReply page = service_->get("/?tool=Beta");
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(figure(page.body, "open-sessions"), "2");
  EXPECT_EQ(figure(page.body, "sessions"), "2");
  EXPECT_EQ(figure(page.body, "users"), "2");
}

// Pieces of an export arrive as HTTP/1.1 chunks, so the connection can carry
// the next request; an HTTP/1.0 client reads up to the close instead.
TEST_P(DashboardTest, ExportsArriveInChunksOverHttp11) {
  for (int i = 0; i < 300; ++i) log("Tool", i % 3, "line " + std::to_string(i) + std::string(2000, 'x'));
  const HttpReply whole = service_->get("/export/logs.csv");
  ASSERT_EQ(whole.status, 200);
  EXPECT_EQ(occurrences(whole.body, "\r\n"), 301u);

  const std::string request = "GET /export/logs.csv HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " +
                              std::string(kToken) + "\r\n\r\n";
  const std::string last = "GET /export/config.json HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " +
                           std::string(kToken) + "\r\nConnection: close\r\n\r\n";
  const HttpReply chunked = testkit::exchange(service_->port(), request + last);
  ASSERT_EQ(chunked.status, 200);
  EXPECT_EQ(chunked.header("Transfer-Encoding"), "chunked");
  EXPECT_EQ(chunked.header("Content-Length"), "");
  std::string body;
  std::string_view rest = chunked.body;
  for (;;) {
    const std::size_t lineEnd = rest.find("\r\n");
    ASSERT_NE(lineEnd, std::string_view::npos);
    const std::size_t size = std::stoul(std::string(rest.substr(0, lineEnd)), nullptr, 16);
    rest.remove_prefix(lineEnd + 2);
    if (size == 0) break;
    body += rest.substr(0, size);
    ASSERT_EQ(rest.substr(size, 2), "\r\n");
    rest.remove_prefix(size + 2);
  }
  EXPECT_EQ(body, whole.body);
  ASSERT_TRUE(rest.starts_with("\r\nHTTP/1.1 200 OK\r\n")) << rest.substr(0, 200);
  EXPECT_TRUE(rest.ends_with("[\n]\n\r\n0\r\n\r\n")) << rest;
}

TEST_P(DashboardTest, LogLinesFilterByLevelToolAndTime) {
  log("Alpha", 1, "alpha one");
  log("Alpha", 2, "alpha two");
  log("Beta", 2, "beta two");
  EXPECT_EQ(service_->exportJson("logs.json", "level=2").size(), 2u);
  EXPECT_EQ(service_->exportJson("logs.json", "tool=Alpha").size(), 2u);
  const auto both = service_->exportJson("logs.json", "tool=Alpha&level=2");
  ASSERT_EQ(both.size(), 1u);
  EXPECT_EQ(both[0]["text"], "alpha two");
  EXPECT_TRUE(service_->exportJson("logs.json", "from=2001-01-01&to=2001-01-31").empty());

  const HttpReply page = service_->get("/logs?tool=Beta&level=2");
  EXPECT_EQ(occurrences(page.body, "class=\"log-line\""), 1u);
  EXPECT_NE(page.body.find("beta two"), std::string::npos);
}

TEST_P(DashboardTest, TheOverviewsErrorsPageBackwardsAndKeepTheirSearch) {
  for (int i = 1; i <= 14; ++i) {
    log("Alpha", 0, "error " + std::string(i < 10 ? "0" : "") + std::to_string(i) + (i % 2 ? " odd" : " even"));
  }
  log("Alpha", 1, "error 99 even, but a notice");
  const auto shown = [&](const std::string& target) {
    const std::string body = service_->get(target).body;
    std::string numbers;
    for (std::size_t at = body.find("error "); at != std::string::npos; at = body.find("error ", at + 1)) {
      numbers += body.substr(at + 6, 2) + " ";
    }
    return numbers;
  };
  // Ten to a page, newest first.
  EXPECT_EQ(shown("/"), "14 13 12 11 10 09 08 07 06 05 ");
  EXPECT_EQ(shown("/?epage=1"), "04 03 02 01 ");
  EXPECT_EQ(shown("/?q=even"), "14 12 10 08 06 04 02 ");
  EXPECT_EQ(shown("/?q=odd&epage=1"), "");
  EXPECT_EQ(shown("/?q=odd&range=24h&tool=Alpha"), "13 11 09 07 05 03 01 ");
}

TEST_P(DashboardTest, LogLinesPastTheRetentionAreDeleted) {
  if (GetParam() != Backend::Sqlite) GTEST_SKIP() << "writes an old line into the SQLite file";
  log("Tool", 1, "recent");
  service_->terminate();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(service_->store().substr(std::string_view("sqlite:").size()).c_str(), &db), SQLITE_OK);
  const std::string old = "INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, "
                          "address) VALUES (1, 1, 'Tool', '1.0', 'ancient', x'', 1000, '127.0.0.1')";
  ASSERT_EQ(sqlite3_exec(db, old.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, kForgetTallies, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  constexpr std::string_view kFirstDay = "from=1970-01-01&to=1970-01-01";

  service_->restart();
  ASSERT_EQ(service_->exportJson("logs.json", kFirstDay).size(), 1u);
  service_->restart({"--retain-logs-days", "30"});
  // Retention runs as the service starts, beside the requests; wait for it a bounded while.
  for (int attempt = 0; attempt < 100 && !service_->exportJson("logs.json", kFirstDay).empty(); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(service_->exportJson("logs.json", kFirstDay).empty());
  const auto recent = service_->exportJson("logs.json");
  ASSERT_EQ(recent.size(), 1u);
  EXPECT_EQ(recent[0]["text"], "recent");
}

TEST_P(DashboardTest, EveryPageRendersFromEveryStore) {
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Painter,2.0")));
  ASSERT_EQ(service_->configure("Painter", 1, "Print,Save").status, 303);
  ASSERT_EQ(service_->configure("Unseen", 0, "").status, 303);
  ASSERT_EQ(testkit::postForm(service_->port(), "/config",
                              "action=save&model=Painter&warningLevel=1&functions=Print,Save&levelName0=Fatal"
                              "&levelColor0=%23aa0000",
                              "Authorization: Bearer " + std::string(kToken) + "\r\n")
                .status,
            303);
  log("Painter", 0, "disk 100% full");
  log("Painter", 1, "slow_render");
  const long long session =
      *intResult(service_->call("UserEnter", "strLoginUIN=4&strModelNameVer=Painter,2.0"));
  ASSERT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(session))), 1);
  ASSERT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=4&strModelNameVer=Painter-2.0,Print&nSatisLevel=1")), 1);
  const std::string logs = service_->get("/export/logs.json").body;
  const std::string firstId = logs.substr(logs.find("\"id\":") + 5, logs.find(',', logs.find("\"id\":")) - logs.find("\"id\":") - 5);

  struct Expectation {
    std::string target, present, absent;
  };
  for (const auto& [target, present, absent] : std::vector<Expectation>{
           {"/?tool=Painter", "Print", "No satisfaction answers"},
           {"/?tool=Painter&range=24h&tz=Asia%2FTokyo", "0 Fatal", "No sessions in this period"},
           {"/?range=90d&vpage=0&fpage=0&epage=0", ">2.0<", "No satisfaction answers"},
           {"/logs", "slow_render", "No log lines match"},
           {"/logs?q=100%25", "disk 100% full", "slow_render"},
           {"/logs?q=_", "slow_render", "disk 100%"},  // "_" is no wildcard
           {"/logs?level=1&tool=Painter", "slow_render", "disk 100%"},
           {"/export/logs.csv?q=RENDER", "slow_render", "disk 100%"},
           {"/export/logs.json?q=100%25&tool=Painter", "disk 100% full", "slow_render"},
           {"/logs/line?id=" + firstId, "disk 100% full", "no such log line"},
           {"/tools", "Unseen", "No tools match"},
           {"/tools?q=pain", "Painter", "Unseen"},
           {"/config?model=Painter", "Print,Save", "uses the default"},
           {"/config?model=Other", "uses the default", "Print,Save"}}) {
    const HttpReply page = service_->get(target);
    EXPECT_EQ(page.status, 200) << target;
    EXPECT_NE(page.body.find(present), std::string::npos) << target;
    EXPECT_EQ(page.body.find(absent), std::string::npos) << target;
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, DashboardTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
