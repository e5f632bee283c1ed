// A PostgreSQL outage turns replies into failures, never into false
// successes, and the service carries on once the database is back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

const std::string kLine = "strLoginUIN=1&strLogInfo=Tool,1.0[x]&nLogLevel=0";

// A server of this test's own, so the outage touches no other test.
class PrivateServer {
 public:
  PrivateServer() : urlFile_(directory_.path() + "/url") { available_ = control("start") && !url().empty(); }
  ~PrivateServer() { control("stop"); }
  bool available() const { return available_; }
  bool control(const std::string& action) const {
    return std::system(("bash " ZANDLE_POSTGRES_FIXTURE " " + action + " " + urlFile_ + " >/dev/null").c_str()) == 0;
  }
  std::string url() const {
    std::ifstream in(urlFile_);
    std::string line;
    std::getline(in, line);
    return line;
  }

 private:
  testkit::TemporaryDirectory directory_;
  std::string urlFile_;
  bool available_ = false;
};

TEST(PostgresOutageTest, FailuresDuringTheOutageAndRecoveryAfterIt) {
  PrivateServer server;
  if (!server.available()) GTEST_SKIP() << "no PostgreSQL server for this run";
  const auto service = testkit::ServiceProcess::start(
      ZANDLE_SERVICE_BINARY, {"--store", server.url(), "--token", std::string(kToken)});
  ASSERT_EQ(intResult(testkit::callWebMethod(service->port(), "WriteLog", kLine)), 1);
  // The overview opens the reader's second connection, which the outage breaks too.
  ASSERT_EQ(testkit::getWithToken(service->port(), "/?range=24h", kToken).status, 200);

  ASSERT_TRUE(server.control("pause"));
  const testkit::HttpReply during = testkit::callWebMethod(service->port(), "WriteLog", kLine);
  EXPECT_EQ(during.status, 503);
  EXPECT_FALSE(intResult(during));

  // The reading connection sat idle through the outage and learns of it only now.
  ASSERT_TRUE(server.control("resume"));
  EXPECT_EQ(intResult(testkit::callWebMethod(service->port(), "WriteLog", kLine)), 1);
  const testkit::HttpReply logs = testkit::getWithToken(service->port(), "/export/logs.json", kToken);
  ASSERT_EQ(logs.status, 200);
  EXPECT_EQ(nlohmann::json::parse(logs.body).size(), 2u);
  const testkit::HttpReply overview = testkit::getWithToken(service->port(), "/?range=24h", kToken);
  EXPECT_EQ(overview.status, 200);
  EXPECT_NE(overview.body.find("Errors"), std::string::npos);
  EXPECT_EQ(service->terminate(), 0);
}

}  // namespace
}  // namespace zandle::servicetest
