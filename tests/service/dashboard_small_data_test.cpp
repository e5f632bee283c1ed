// A new installation: the overview and the exports with no record, one and two,
// where averages, plurals, lone chart points and empty fields show up first.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "client/core/wire_protocol.h"
#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

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

// The first drawing of the chart with that title (the wide one).
std::string chart(const std::string& page, std::string_view title) {
  const std::size_t at = page.find("aria-label=\"" + std::string(title) + "\"");
  if (at == std::string::npos) return {};
  return page.substr(at, page.find("</svg>", at) - at);
}

// The label at the top of the chart's axis, such as "2 s".
std::string axisMaximum(const std::string& svg) {
  std::smatch match;
  return std::regex_search(svg, match, std::regex("class=\"axis\">([^<]*)</text>")) ? match[1].str() : "(none)";
}

class SmallDataTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  }

  // A session of about 1.2 s and one answer, with or without the client's literal strSatisInfo.
  long long addUser(int uin, bool satisInfoField) {
    const auto id = intResult(service_->call("UserEnter", "strLoginUIN=" + std::to_string(uin) +
                                                              "&strModelNameVer=Tool,1.0"));
    EXPECT_TRUE(id);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(id.value_or(0)))), 1);
    EXPECT_EQ(intResult(service_->call("Satisfaction", "strLoginUIN=" + std::to_string(uin) +
                                                           "&strModelNameVer=Tool-1.0,Print&nSatisLevel=1" +
                                                           (satisInfoField ? "&strSatisInfo=NULL" : ""))),
              1);
    return id.value_or(0);
  }

  std::string overview() {
    const HttpReply page = service_->get("/?range=30d");
    EXPECT_EQ(page.status, 200);
    return page.body;
  }

  void log(int level, std::string_view text) {
    ASSERT_EQ(intResult(service_->call("WriteLog", "strLoginUIN=9&strLogInfo=" +
                                                       clientEncode("Tool,1.0[" + std::string(text) + "]") +
                                                       "&nLogLevel=" + std::to_string(level))),
              1);
  }

  std::unique_ptr<RunningService> service_;
};

TEST_P(SmallDataTest, OverviewReadsRightWithNoOneAndTwoUsers) {
  std::string page = overview();
  EXPECT_EQ(figure(page, "daily-users"), "0");
  EXPECT_NE(page.find("Satisfaction score (0 answers)"), std::string::npos);
  std::string median = chart(page, "Median session length");
  ASSERT_FALSE(median.empty());
  EXPECT_EQ(median.find("<polyline"), std::string::npos);
  EXPECT_EQ(median.find("<circle"), std::string::npos);

  addUser(5, true);
  page = overview();
  // One user on one of the 30 days: 1/30.
  EXPECT_EQ(figure(page, "daily-users"), "0.033");
  EXPECT_NE(page.find("Satisfaction score (1 answer)"), std::string::npos);
  median = chart(page, "Median session length");
  // The one day with a session is a dot on a scale of seconds.
  EXPECT_EQ(occurrences(median, "<circle"), 1u) << median;
  EXPECT_EQ(median.find("<polyline"), std::string::npos) << median;
  EXPECT_TRUE(std::regex_match(axisMaximum(median), std::regex("[1-9][0-9.]* s"))) << axisMaximum(median);

  addUser(6, false);
  page = overview();
  EXPECT_EQ(figure(page, "daily-users"), "0.067");  // 2/30
  EXPECT_NE(page.find("Satisfaction score (2 answers)"), std::string::npos);
  median = chart(page, "Median session length");
  // Both sessions fall on today, or on two days when the test runs over midnight.
  EXPECT_EQ(occurrences(median, "<circle") + occurrences(median, "<polyline"), 1u) << median;
  EXPECT_TRUE(std::regex_match(axisMaximum(median), std::regex("[1-9][0-9.]* s"))) << axisMaximum(median);
}

TEST_P(SmallDataTest, ExportsNameSessionsByTheirLoginDetailIdAndLeaveSatisInfoNull) {
  EXPECT_TRUE(service_->exportJson("sessions.json").empty());
  EXPECT_TRUE(service_->exportJson("satisfaction.json").empty());
  EXPECT_EQ(service_->get("/export/sessions.csv").body,
            "\xEF\xBB\xBFlogin_detail_id,uin,tool,extra,version,entered,enter_address,left,leave_address\r\n");

  std::vector<long long> ids;
  for (int user = 0; user < 2; ++user) {
    ids.push_back(addUser(5 + user, user == 0));
    const auto sessions = service_->exportJson("sessions.json");
    ASSERT_EQ(sessions.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
      EXPECT_EQ(sessions[i]["loginDetailId"], ids[i]);
      EXPECT_FALSE(sessions[i].contains("id"));
    }
    const std::string csv = service_->get("/export/sessions.csv").body;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      EXPECT_NE(csv.find("\r\n" + std::to_string(ids[i]) + "," + std::to_string(5 + i) + ","), std::string::npos) << csv;
    }

    const auto answers = service_->exportJson("satisfaction.json");
    ASSERT_EQ(answers.size(), ids.size());
    for (const auto& answer : answers) EXPECT_TRUE(answer["satisInfo"].is_null()) << answer.dump();
    const std::string answersCsv = service_->get("/export/satisfaction.csv").body;
    EXPECT_EQ(answersCsv.find("NULL"), std::string::npos) << answersCsv;
    EXPECT_EQ(occurrences(answersCsv, ",\"Print\",\r\n"), ids.size()) << answersCsv;
  }
}

TEST_P(SmallDataTest, HealthChecksAreNoErrors) {
  const std::string check(wire::kHealthCheckLogText);
  for (int checks = 1; checks <= 2; ++checks) {
    log(0, check);
    const std::string page = overview();
    EXPECT_EQ(figure(page, "error-count"), "0");
    const std::string errors = page.substr(page.find("id=\"errors\""));
    EXPECT_NE(errors.find("No log lines match."), std::string::npos);
    EXPECT_EQ(service_->exportJson("logs.json").size(), static_cast<std::size_t>(checks));
  }
  // The same text at another level, or another text at level 0, is the host's own line.
  log(1, check);
  log(0, check + " ");
  const std::string page = overview();
  EXPECT_EQ(figure(page, "error-count"), "1");
  const auto lines = service_->exportJson("logs.json");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["level"], 1000);
  EXPECT_EQ(lines[1]["level"], 1000);
  EXPECT_EQ(lines[2]["level"], 1);
  EXPECT_EQ(lines[3]["level"], 0);
  const std::string logs = service_->get("/logs?range=30d").body;
  EXPECT_EQ(occurrences(logs, "1000 health check"), 2u);
}

INSTANTIATE_TEST_SUITE_P(Stores, SmallDataTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
