// What a tool vendor reads every morning: preset periods against the period
// before, days in the viewer's time zone, active users per day, week and
// month, versions, satisfaction over time, log levels named by the tool's
// configuration, recent errors, and CSV files for Excel. History is written
// straight into the SQLite store, since the service stamps what it receives now.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>

#include "common/text_escape.h"
#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

constexpr std::int64_t kHour = 3'600'000;
constexpr std::int64_t kDay = 24 * kHour;

std::int64_t now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Milliseconds of an ISO time such as "2024-03-10T20:00:00".
std::int64_t at(const char* iso) {
  std::tm parts{};
  strptime(iso, "%Y-%m-%dT%H:%M:%S", &parts);
  return static_cast<std::int64_t>(timegm(&parts)) * 1000;
}

std::string figure(const std::string& page, std::string_view id) {
  const std::size_t found = page.find("id=\"" + std::string(id) + "\"");
  if (found == std::string::npos) return "(none)";
  const std::size_t start = page.find("<b>", found) + 3;
  return page.substr(start, page.find("</b>", start) - start);
}

// The part of the page from `from` up to the next section.
std::string section(const std::string& page, std::string_view from) {
  const std::size_t start = page.find(from);
  if (start == std::string::npos) return {};
  return page.substr(start, page.find("</section>", start) - start);
}

class TrendsTest : public testing::Test {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(Backend::Sqlite);
    ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Tool,1.0")));
    service_->terminate();
    ASSERT_EQ(sqlite3_open(service_->store().substr(std::string_view("sqlite:").size()).c_str(), &db_), SQLITE_OK);
  }
  void TearDown() override {
    if (db_) sqlite3_close(db_);
  }
  // Done writing: the service starts on what was written.
  void serve() {
    run(kForgetTallies);
    sqlite3_close(db_);
    db_ = nullptr;
    service_->restart();
  }
  void run(const std::string& sql) { ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql; }
  void session(std::int64_t entered, int uin = 1, std::string_view version = "1.0", std::int64_t length = 600'000) {
    run("INSERT INTO sessions (login_detail_id, uin, model, version, raw_model_name_ver, entered_ms, enter_address, "
        "left_ms, leave_address) VALUES (" + std::to_string(++rows_) + ", " + std::to_string(uin) + ", 'Tool', '" +
        std::string(version) + "', x'', " + std::to_string(entered) + ", '10.0.0.1', " +
        std::to_string(entered + length) + ", '10.0.0.1')");
  }
  void answer(std::int64_t when, int level, std::string_view function = "Print", std::string_view version = "1.0") {
    run("INSERT INTO satisfaction (uin, level, model, version, function, raw_model_name_ver, satis_info, received_ms, "
        "address) VALUES (1, " + std::to_string(level) + ", 'Tool', '" + std::string(version) + "', '" +
        std::string(function) + "', x'', 'NULL', " + std::to_string(when) + ", '10.0.0.1')");
  }
  void line(std::int64_t when, int level, std::string_view text, std::string_view version = "1.0") {
    run("INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) VALUES (1, " +
        std::to_string(level) + ", 'Tool', '" + std::string(version) + "', '" + std::string(text) + "', x'', " +
        std::to_string(when) + ", '10.0.0.1')");
  }

  std::unique_ptr<RunningService> service_;
  sqlite3* db_ = nullptr;
  int rows_ = 0;
};

TEST_F(TrendsTest, PresetsCoverTheirPeriodAndCompareWithThePeriodBefore) {
  const std::int64_t t = now();
  for (std::int64_t ago : {kHour, 30 * kHour, 3 * kDay, 10 * kDay, 20 * kDay, 45 * kDay, 100 * kDay}) session(t - ago);
  serve();
  struct Expectation {
    std::string range;
    int sessions, before;
    std::string length;
  };
  for (const auto& [range, sessions, before, length] :
       std::vector<Expectation>{{"24h", 1, 1, "24 hours"}, {"7d", 3, 1, "7 days"}, {"30d", 5, 1, "30 days"},
                                {"90d", 6, 1, "90 days"}}) {
    const auto summary = service_->exportJson("summary.json", "range=" + range);
    EXPECT_EQ(summary["sessionsInPeriod"], sessions) << range;
    EXPECT_EQ(summary["previousPeriod"]["sessions"], before) << range;
    const HttpReply page = service_->get("/?range=" + range);
    EXPECT_EQ(figure(page.body, "sessions"), std::to_string(sessions)) << range;
    EXPECT_NE(page.body.find("the " + length + " before: " + std::to_string(before)), std::string::npos) << range;
    EXPECT_NE(page.body.find("class=\"preset active\" href=\"/?range=" + range), std::string::npos) << range;
  }
  // Without a preset the last 30 days; dates of their own make a period of their own.
  EXPECT_EQ(service_->exportJson("summary.json")["sessionsInPeriod"], 5);
  EXPECT_EQ(service_->exportJson("summary.json", "from=1970-01-01&to=1970-01-02")["sessionsInPeriod"], 0);
}

TEST_F(TrendsTest, DaysBeginAtMidnightInTheChosenTimeZoneSummerTimeIncluded) {
  session(at("2024-03-10T20:00:00"));  // 04:00 on 11 March in Shanghai
  session(at("2024-03-11T03:30:00"));  // 23:30 on 10 March in New York, a day of 23 hours
  serve();
  const auto day = [&](std::string_view zone, std::string_view date) {
    return service_->exportJson("summary.json", "tz=" + service::urlEncode(zone) + "&from=" + std::string(date) +
                                                    "&to=" + std::string(date));
  };
  EXPECT_EQ(day("UTC", "2024-03-10")["sessionsInPeriod"], 1);
  EXPECT_EQ(day("UTC", "2024-03-11")["sessionsInPeriod"], 1);
  EXPECT_EQ(day("Asia/Shanghai", "2024-03-11")["sessionsInPeriod"], 2);
  const auto newYork = day("America/New_York", "2024-03-10");
  EXPECT_EQ(newYork["sessionsInPeriod"], 2);
  EXPECT_EQ(newYork["timeZone"], "America/New_York");
  // The period before is as long: 23 hours, from 01:00 on 9 March (EST).
  EXPECT_EQ(newYork["previousPeriod"]["start"], "2024-03-09T06:00:00Z");
  EXPECT_EQ(newYork["previousPeriod"]["end"], "2024-03-10T05:00:00Z");
  const auto days = service_->exportJson("summary.json", "tz=America%2FNew_York&from=2024-03-09&to=2024-03-11")["days"];
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[1]["day"], "2024-03-10");
  EXPECT_EQ(days[1]["sessions"], 2);
  // A zone no one offers falls back to UTC instead of reaching the file system.
  EXPECT_EQ(day("../../etc/passwd", "2024-03-11")["timeZone"], "UTC");
}

// São Paulo went from 23:59:59 on 3 November 2018 straight to 01:00 on the 4th.
TEST_F(TrendsTest, ADayWithoutAMidnightBeginsWhenTheClocksGoForward) {
  session(at("2018-11-04T02:30:00"));  // 23:30 on 3 November
  session(at("2018-11-04T03:30:00"));  // 01:30 on 4 November, its first hour
  serve();
  const auto days = service_->exportJson("summary.json", "tz=America%2FSao_Paulo&from=2018-11-03&to=2018-11-04");
  EXPECT_EQ(days["sessionsInPeriod"], 2);
  ASSERT_EQ(days["days"].size(), 2u) << days["days"].dump();
  EXPECT_EQ(days["days"][0]["day"], "2018-11-03");
  EXPECT_EQ(days["days"][0]["sessions"], 1);
  EXPECT_EQ(days["days"][1]["day"], "2018-11-04");
  EXPECT_EQ(days["days"][1]["sessions"], 1);
  const auto fourth = service_->exportJson("summary.json", "tz=America%2FSao_Paulo&from=2018-11-04&to=2018-11-04");
  EXPECT_EQ(fourth["sessionsInPeriod"], 1);
  EXPECT_EQ(fourth["from"], "2018-11-04");
  EXPECT_EQ(fourth["previousPeriod"]["end"], "2018-11-04T03:00:00Z");
  ASSERT_EQ(fourth["days"].size(), 1u) << fourth["days"].dump();
  EXPECT_EQ(fourth["days"][0]["day"], "2018-11-04");
}

TEST_F(TrendsTest, ActiveUsersPerDayWeekAndMonth) {
  const std::int64_t t = now();
  // User 1 twice on one day: at one moment, so that no midnight falls between them.
  session(t - kHour, 1);
  session(t - kHour, 1);
  session(t - 2 * kDay, 2);
  session(t - 10 * kDay, 3);
  session(t - 10 * kDay, 1);
  session(t - 20 * kDay, 4);
  session(t - 40 * kDay, 5);
  serve();
  const std::string page = service_->get("/?range=30d").body;
  EXPECT_EQ(figure(page, "sessions"), "6");
  EXPECT_EQ(figure(page, "users"), "4");
  EXPECT_EQ(figure(page, "weekly-users"), "2");
  EXPECT_NE(page.find("the 7 days before: 2"), std::string::npos);
  EXPECT_EQ(figure(page, "monthly-users"), "4");
  EXPECT_NE(page.find("the 30 days before: 1"), std::string::npos);
  // Four days with users, one of them with two: 5 over 30 days.
  EXPECT_EQ(figure(page, "daily-users"), "0.17");
  EXPECT_NE(page.find("Weekly active users"), std::string::npos);
  EXPECT_NE(page.find("Active users per month"), std::string::npos);
}

TEST_F(TrendsTest, VersionsShowSessionsAnswersScoreAndErrors) {
  const std::int64_t t = now();
  for (int uin : {1, 2, 3}) session(t - uin * kHour, uin, "1.0", 60'000 * uin);
  for (int uin : {4, 5}) session(t - uin * kHour, uin, "2.0");
  session(t - 40 * kDay, 9, "2.0");
  for (int level : {1, 1, 3}) answer(t - kHour, level, "Print", "2.0");
  line(t - kHour, 0, "crash", "2.0");
  line(t - kHour, 0, "crash again", "2.0");
  line(t - kHour, 1, "slow", "2.0");
  serve();
  const std::string versions = section(service_->get("/?tool=Tool").body, "id=\"versions\"");
  const std::size_t first = versions.find("<tr class=\"version\">");
  const std::size_t second = versions.find("<tr class=\"version\">", first + 1);
  ASSERT_NE(second, std::string::npos) << versions;
  const std::string one = versions.substr(first, second - first), two = versions.substr(second);
  EXPECT_NE(one.find(">1.0<"), std::string::npos);
  EXPECT_NE(one.find(">3<"), std::string::npos);
  EXPECT_NE(two.find(">2.0<"), std::string::npos);
  EXPECT_NE(two.find(">67 %<"), std::string::npos) << two;
  EXPECT_NE(two.find(">2</td></tr>"), std::string::npos) << "two errors: " << two;
  EXPECT_NE(two.find("▲ 100 %"), std::string::npos) << "one 2.0 session in the 30 days before";
}

TEST_F(TrendsTest, SatisfactionScoreAndTheShareOfEachAnswerPerWeek) {
  const std::int64_t t = now();
  for (int level : {3, 3, 1, 2}) answer(t - 15 * kDay, level);
  for (int level : {1, 1, 1, 2}) answer(t - kHour, level);
  for (int level : {1, 3}) answer(t - 40 * kDay, level);
  serve();
  const std::string page = service_->get("/?range=30d").body;
  EXPECT_EQ(figure(page, "score"), "50 %");
  EXPECT_NE(page.find("Satisfaction score (8 answers)"), std::string::npos);
  EXPECT_NE(page.find("the 30 days before: 50 %"), std::string::npos);
  const std::string satisfaction = section(page, "id=\"satisfaction\"");
  EXPECT_NE(satisfaction.find("per week (from Monday)"), std::string::npos);
  EXPECT_NE(satisfaction.find(">n=4<"), std::string::npos);
  EXPECT_NE(satisfaction.find(">n=0<"), std::string::npos);
  EXPECT_NE(satisfaction.find("(75 %)"), std::string::npos) << "three of this week's four answers are 满意";
  const std::string row = satisfaction.substr(satisfaction.find("<tr class=\"function\">"));
  EXPECT_NE(row.find(">Print<"), std::string::npos);
  EXPECT_NE(row.find(">50 %<"), std::string::npos);
  // A week of days is shown by day.
  EXPECT_NE(service_->get("/?range=7d").body.find("per day; the score"), std::string::npos);
}

TEST_F(TrendsTest, LogLevelNamesAndColoursComeFromTheToolsConfiguration) {
  const std::int64_t t = now();
  line(t - kHour, 0, "boom");
  line(t - kHour, 2, "hello");
  line(t - kHour, 7, "odd");
  serve();
  const auto configure = [&](const std::string& levels) {
    return testkit::postForm(service_->port(), "/config",
                             "action=save&model=Tool&warningLevel=2&functions=Print" + levels,
                             "Authorization: Bearer " + std::string(kToken) + "\r\n");
  };
  std::string page = service_->get("/?tool=Tool").body;
  EXPECT_NE(page.find("0 Error"), std::string::npos) << "built-in names before any are set";
  EXPECT_EQ(configure("&levelName0=" + service::urlEncode("出错") + "&levelColor0=%23aa0000&levelName2=Info" +
                      "&levelColor2=%23123456").status,
            303);
  page = service_->get("/?tool=Tool").body;
  const std::string logs = section(page, "id=\"logs\"");
  EXPECT_NE(logs.find("0 出错"), std::string::npos);
  EXPECT_NE(logs.find("fill=\"#aa0000\""), std::string::npos);
  EXPECT_NE(logs.find("2 Info"), std::string::npos);
  EXPECT_NE(logs.find("level 7"), std::string::npos);
  EXPECT_NE(service_->get("/logs?tool=Tool").body.find("background:#aa0000\"></span>0 出错"), std::string::npos);
  const std::string editor = service_->get("/config?model=Tool").body;
  EXPECT_NE(editor.find("name=\"levelName0\" maxlength=\"40\" value=\"出错\""), std::string::npos);
  EXPECT_NE(editor.find("name=\"levelColor0\" value=\"#aa0000\""), std::string::npos);
  // Colours reach the page as attributes: only "#rrggbb" is taken; names are plain text.
  EXPECT_EQ(configure("&levelName0=x&levelColor0=red").status, 400);
  EXPECT_EQ(configure("&levelName0=x&levelColor0=%22%3E%3Cscript%3E").status, 400);
  EXPECT_EQ(configure("&levelName0=a%0Ab&levelColor0=%23aa0000").status, 400);
  EXPECT_NE(service_->get("/?tool=Tool").body.find("0 出错"), std::string::npos);
}

TEST_F(TrendsTest, RecentErrorsAreLevelZeroNewestFirstAndSearchable) {
  const std::int64_t t = now();
  line(t - 3 * kHour, 0, "disk full");
  line(t - 2 * kHour, 0, "network down");
  line(t - kHour, 1, "disk nearly full");
  serve();
  const std::string errors = section(service_->get("/").body, "id=\"errors\"");
  EXPECT_NE(errors.find("disk full"), std::string::npos);
  EXPECT_LT(errors.find("network down"), errors.find("disk full"));
  EXPECT_EQ(errors.find("nearly"), std::string::npos);
  const std::string found = section(service_->get("/?q=DISK&range=7d").body, "id=\"errors\"");
  EXPECT_NE(found.find("disk full"), std::string::npos);
  EXPECT_EQ(found.find("network down"), std::string::npos);
  EXPECT_NE(found.find("name=\"range\" value=\"7d\""), std::string::npos) << "the search keeps the period";
}

TEST_F(TrendsTest, CsvExportsCarryAByteOrderMarkAndRunOldestFirst) {
  const std::int64_t t = now();
  // Written newest first: the export still runs by time.
  for (std::int64_t ago : {kHour, 5 * kHour, 3 * kHour}) {
    session(t - ago, static_cast<int>(ago / kHour));
    answer(t - ago, 1, "F" + std::to_string(ago / kHour));
    line(t - ago, 0, "line " + std::to_string(ago / kHour));
  }
  serve();
  for (std::string_view name : {"sessions.csv", "satisfaction.csv", "logs.csv"}) {
    const HttpReply csv = service_->get("/export/" + std::string(name));
    ASSERT_EQ(csv.status, 200);
    EXPECT_TRUE(csv.body.starts_with("\xEF\xBB\xBF")) << name;
    const auto find = [&](int hours) {
      const std::string mark = std::to_string(hours);
      return csv.body.find(name == "sessions.csv" ? "," + mark + ",\"Tool\"" : name == "logs.csv" ? "line " + mark : "F" + mark);
    };
    const std::size_t five = find(5), three = find(3), one = find(1);
    ASSERT_NE(one, std::string::npos) << name << csv.body;
    EXPECT_LT(five, three) << name << csv.body;
    EXPECT_LT(three, one) << name << csv.body;
  }
  const auto lines = service_->exportJson("logs.json");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["text"], "line 5");
  EXPECT_EQ(lines[2]["text"], "line 1");
}

TEST_F(TrendsTest, TheChosenTimeZoneStaysForTheSession) {
  serve();
  const std::string cookie =
      testkit::postForm(service_->port(), "/login", "token=" + std::string(kToken), "").header("Set-Cookie");
  const auto get = [&](std::string_view target) {
    return testkit::exchange(service_->port(), "GET " + std::string(target) + " HTTP/1.0\r\nCookie: " +
                                                   cookie.substr(0, cookie.find(';')) + "\r\n\r\n");
  };
  EXPECT_NE(get("/?tz=Asia%2FTokyo").body.find("value=\"Asia/Tokyo\" selected"), std::string::npos);
  EXPECT_NE(get("/logs").body.find("value=\"Asia/Tokyo\" selected"), std::string::npos);
  EXPECT_NE(get("/").body.find("(Asia/Tokyo, UTC+09:00)"), std::string::npos);
}

}  // namespace
}  // namespace zandle::servicetest
