// The five web methods against the running service, on every store backend.
#include <gtest/gtest.h>

#include "client/core/wire_protocol.h"
#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

class IngestionTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  }
  std::unique_ptr<RunningService> service_;
};

TEST_P(IngestionTest, RepliesAreTheAsmxEnvelopeTheClientSearches) {
  const HttpReply reply = service_->call("WriteLog", "strLoginUIN=1&strLogInfo=T,1[x]&nLogLevel=0");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.header("Content-Type"), "text/xml; charset=utf-8");
  EXPECT_EQ(reply.body, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + std::string(wire::kIntStartTag) + "1</int>");

  const HttpReply info = service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=T,1");
  EXPECT_EQ(info.body, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + std::string(wire::kStringStartTag) +
                           "&lt;AppInfo&gt;&lt;WarningLevel&gt;0&lt;/WarningLevel&gt;&lt;/AppInfo&gt;</string>");
}

TEST_P(IngestionTest, GetAppInfoAnswersEachToolItsOwnConfigurationAndOthersTheDefault) {
  ASSERT_EQ(service_->configure("Painter", 2, "Print, Save,Export").status, 303);
  ASSERT_EQ(service_->configure("", -1, "").status, 303);
  EXPECT_EQ(stringResult(service_->call("GetAppInfo", "strLoginUIN=7&strModelNameVer=Painter,3.1")),
            "&lt;AppInfo&gt;&lt;WarningLevel&gt;2&lt;/WarningLevel&gt;&lt;FunName&gt;Print,Save,Export"
            "&lt;/FunName&gt;&lt;/AppInfo&gt;");
  EXPECT_EQ(stringResult(service_->call("GetAppInfo", "strLoginUIN=7&strModelNameVer=Other,1.0")),
            "&lt;AppInfo&gt;&lt;WarningLevel&gt;-1&lt;/WarningLevel&gt;&lt;/AppInfo&gt;");

  const auto config = service_->exportJson("config.json");
  ASSERT_EQ(config.size(), 2u);
  EXPECT_EQ(config[1]["tool"], "Painter");
  EXPECT_EQ(config[1]["functions"], nlohmann::json({"Print", "Save", "Export"}));
}

TEST_P(IngestionTest, ConfigurationsTheClientWouldMisreadAreRefused) {
  EXPECT_EQ(service_->configure("Painter", 1, "Print&Save").status, 400);
  EXPECT_EQ(service_->configure("Painter", 1, "a<b").status, 400);
  EXPECT_EQ(service_->configure("Painter", 1, "Save,Save").status, 400);
  EXPECT_EQ(service_->configure("Painter", 1, std::string(300, 'x')).status, 400);
  EXPECT_TRUE(service_->exportJson("config.json").empty());
}

TEST_P(IngestionTest, SessionsOpenCloseOnceAndUnknownIdsAnswerZero) {
  const auto first = intResult(service_->call("UserEnter", "strLoginUIN=10&strModelNameVer=Tool,1.0"));
  const auto second = intResult(service_->call("UserEnter", "strLoginUIN=11&strModelNameVer=Tool,1.0"));
  ASSERT_TRUE(first && second);
  EXPECT_GT(*first, 0);
  EXPECT_NE(*first, *second);

  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(*first))), 1);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=" + std::to_string(*first))), 1);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=999999")), 0);
  EXPECT_EQ(intResult(service_->call("UserLeave", "nLoginDetailID=-1")), 0);

  const auto summary = service_->exportJson("summary.json");
  EXPECT_EQ(summary["openSessions"], 1);
  EXPECT_EQ(summary["sessionsInPeriod"], 2);
}

TEST_P(IngestionTest, WriteLogStoresTheLineAsSentWithArrivalAndAddress) {
  const std::string text = "50% done & a=b + c, 中文 [ok]";
  const std::string body = "strLoginUIN=-42&strLogInfo=" + clientEncode("Tool,2.0[" + text + "]") + "&nLogLevel=3";
  ASSERT_EQ(intResult(service_->call("WriteLog", body)), 1);
  // A standard form encoder's "+" for space decodes the same.
  ASSERT_EQ(intResult(service_->call("WriteLog", "strLoginUIN=1&strLogInfo=Tool,2.0[a+b]&nLogLevel=0")), 1);

  const auto lines = service_->exportJson("logs.json");  // oldest first
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["text"], "a b");
  const auto& line = lines[0];
  EXPECT_EQ(line["text"], text);
  EXPECT_EQ(line["tool"], "Tool");
  EXPECT_EQ(line["version"], "2.0");
  EXPECT_EQ(line["level"], 3);
  EXPECT_EQ(line["uin"], -42);
  EXPECT_EQ(line["address"], "127.0.0.1");
  EXPECT_FALSE(line["received"].get<std::string>().empty());
}

TEST_P(IngestionTest, ModelNamesWithDashesAndCommasAreSplitByTheToolsKnown) {
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=5&strModelNameVer=Foo-Bar,1.0-beta")));
  ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=5&strModelNameVer=A,B,2.0")));
  ASSERT_TRUE(intResult(service_->call("UserEnter", "strLoginUIN=5&strModelNameVer=Foo-Bar-Demo-X,1.0-beta")));
  ASSERT_TRUE(intResult(service_->call("UserEnter", "strLoginUIN=5&strModelNameVer=Foo-Bar,1.0-beta")));
  ASSERT_TRUE(intResult(service_->call("Satisfaction",
                                       "strLoginUIN=5&strModelNameVer=Foo-Bar-1.0-beta,Save&nSatisLevel=1&strSatisInfo=NULL")));
  // A survey for the tool's own name, which holds a comma.
  ASSERT_TRUE(intResult(service_->call("Satisfaction",
                                       "strLoginUIN=5&strModelNameVer=A,B-2.0,A,B&nSatisLevel=3&strSatisInfo=NULL")));

  const auto sessions = service_->exportJson("sessions.json");
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0]["tool"], "Foo-Bar");
  EXPECT_EQ(sessions[0]["extra"], "Demo-X");
  EXPECT_EQ(sessions[0]["version"], "1.0-beta");
  EXPECT_EQ(sessions[1]["tool"], "Foo-Bar");
  EXPECT_TRUE(sessions[1]["extra"].is_null());

  const auto reports = service_->exportJson("satisfaction.json");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0]["tool"], "Foo-Bar");
  EXPECT_EQ(reports[0]["version"], "1.0-beta");
  EXPECT_EQ(reports[0]["function"], "Save");
  EXPECT_EQ(reports[0]["level"], 1);
  EXPECT_EQ(reports[1]["tool"], "A,B");
  EXPECT_EQ(reports[1]["version"], "2.0");
  EXPECT_EQ(reports[1]["function"], "A,B");
  EXPECT_TRUE(reports[1]["satisInfo"].is_null());  // the client's literal "NULL"
}

TEST_P(IngestionTest, UnknownToolsFallBackToPlainSplits) {
  ASSERT_TRUE(intResult(service_->call("UserEnter", "strLoginUIN=5&strModelNameVer=Tool-Demo,1.0")));
  ASSERT_TRUE(intResult(service_->call("Satisfaction", "strLoginUIN=5&strModelNameVer=Tool-1.0,Save&nSatisLevel=2")));
  EXPECT_EQ(service_->exportJson("sessions.json")[0]["tool"], "Tool-Demo");
  const auto report = service_->exportJson("satisfaction.json")[0];
  EXPECT_EQ(report["tool"], "Tool");
  EXPECT_EQ(report["version"], "1.0");
  EXPECT_EQ(report["function"], "Save");
}

TEST_P(IngestionTest, BadRequestsAreHttpErrorsWithoutAResultElement) {
  struct Case {
    std::string method, body;
    int status;
  };
  const std::vector<Case> cases = {
      {"NoSuchMethod", "strLoginUIN=1", 404},
      {"writelog", "strLoginUIN=1&strLogInfo=T,1[x]&nLogLevel=0", 404},
      {"WriteLog", "strLoginUIN=1&strLogInfo=T,1[x]", 400},
      {"WriteLog", "strLogInfo=T,1[x]&nLogLevel=0", 400},
      {"WriteLog", "strLoginUIN=1&strLoginUIN=2&strLogInfo=T,1[x]&nLogLevel=0", 400},
      {"WriteLog", "strLoginUIN=99999999999999999999&strLogInfo=T,1[x]&nLogLevel=0", 400},
      {"WriteLog", "strLoginUIN=2147483648&strLogInfo=T,1[x]&nLogLevel=0", 400},
      {"WriteLog", "strLoginUIN=+1&strLogInfo=T,1[x]&nLogLevel=0", 400},
      {"WriteLog", "strLoginUIN=0x10&strLogInfo=T,1[x]&nLogLevel=0", 400},
      {"WriteLog", "strLoginUIN=1&strLogInfo=T,1[x]&nLogLevel=", 400},
      {"UserLeave", "nLoginDetailID=abc", 400},
      {"UserEnter", "strLoginUIN=1", 400},
      {"Satisfaction", "strLoginUIN=1&strModelNameVer=T-1,F", 400},
      {"GetAppInfo", "", 400},
  };
  for (const auto& [method, body, status] : cases) {
    const HttpReply reply = service_->call(method, body);
    EXPECT_EQ(reply.status, status) << method << " " << body;
    EXPECT_EQ(reply.body.find("<int"), std::string::npos) << reply.body;
    EXPECT_EQ(reply.body.find("<string"), std::string::npos) << reply.body;
  }
  EXPECT_EQ(testkit::getWithToken(service_->port(), "/WriteLogWeb/WriteLogWeb.asmx/WriteLog", "").status, 405);
  // Extremes of the 32-bit range are what "%d" can print, so they are taken.
  EXPECT_EQ(intResult(service_->call("WriteLog", "strLoginUIN=-2147483648&strLogInfo=T,1[x]&nLogLevel=2147483647")), 1);
  EXPECT_EQ(service_->exportJson("logs.json").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Stores, IngestionTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
