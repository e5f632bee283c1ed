// What an administrator runs the service with: /healthz for the load balancer,
// /metrics for Prometheus, an access log that never holds a secret, and the
// security events logged whether the access log is on or not.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

using testkit::HttpReply;

HttpReply get(std::uint16_t port, std::string_view target, std::string_view headers = "") {
  return testkit::exchange(port, "GET " + std::string(target) + " HTTP/1.0\r\n" + std::string(headers) + "\r\n");
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of the sample `series` (name and labels exactly), or -1.
double sample(const std::string& metrics, const std::string& series) {
  std::istringstream lines(metrics);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with(series + " ")) return std::stod(line.substr(series.size() + 1));
  }
  return -1;
}

void breakStore(RunningService& service, const std::string& trigger) {
  service.terminate();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(service.store().substr(std::string_view("sqlite:").size()).c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, trigger.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  service.restart();
}

TEST(OperationsTest, HealthSaysWhetherTheStoreTakesWritesAndNeedsNoToken) {
  RunningService service(Backend::Sqlite);
  const HttpReply healthy = get(service.port(), "/healthz");
  EXPECT_EQ(healthy.status, 200);
  breakStore(service, "CREATE TRIGGER full_disk BEFORE UPDATE ON service_health "
                      "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
  const HttpReply sick = get(service.port(), "/healthz");
  EXPECT_EQ(sick.status, 503);
  EXPECT_NE(sick.body.find("disk is full"), std::string::npos) << sick.body;
}

TEST(OperationsTest, MetricsAreInThePrometheusTextFormatBehindTheToken) {
  RunningService service(Backend::Sqlite);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
  EXPECT_EQ(testkit::exchange(service.port(),
                              "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: 5000\r\n\r\n")
                .status,
            413);
  EXPECT_EQ(get(service.port(), "/metrics").status, 401);
  EXPECT_EQ(get(service.port(), "/metrics", "Authorization: Bearer wrong-token-guessed\r\n").status, 401);
  const HttpReply reply = get(service.port(), "/metrics", "Authorization: Bearer " + std::string(kToken) + "\r\n");
  ASSERT_EQ(reply.status, 200);
  EXPECT_EQ(reply.header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
  const std::string& text = reply.body;
  EXPECT_EQ(sample(text, "zandle_requests_total{method=\"WriteLog\",status=\"200\"}"), 3);
  EXPECT_EQ(sample(text, "zandle_requests_total{method=\"WriteLog\",status=\"413\"}"), 1);
  EXPECT_EQ(sample(text, "zandle_refusals_total{cause=\"body_too_large\"}"), 1);
  EXPECT_EQ(sample(text, "zandle_refusals_total{cause=\"wrong_token\"}"), 1);
  EXPECT_EQ(sample(text, "zandle_request_duration_seconds_count"), 4 + 2);
  EXPECT_GE(sample(text, "zandle_store_write_duration_seconds_bucket{le=\"+Inf\"}"), 3);
  EXPECT_EQ(sample(text, "zandle_records_written_total"), 3);
  EXPECT_EQ(sample(text, "zandle_store_queue_depth{worker=\"writer\"}"), 0);
  EXPECT_EQ(sample(text, "zandle_open_connections{state=\"processing\"}"), 1);  // this request
  // Every line a comment or a sample; every sample's family announced with its type.
  const std::regex sampleLine(R"(([a-z_]+)(\{[a-z_]+="[^"\\]*"(,[a-z_]+="[^"\\]*")*\})? -?[0-9.e+]+)");
  std::istringstream lines(text);
  std::string line;
  int samples = 0;
  while (std::getline(lines, line)) {
    if (line.starts_with("# HELP ") || line.starts_with("# TYPE ")) continue;
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, sampleLine)) << line;
    std::string family = match[1];
    for (const char* suffix : {"_bucket", "_sum", "_count"}) {
      if (family.ends_with(suffix) && text.find("# TYPE " + family + " ") == std::string::npos) {
        family.resize(family.size() - std::string_view(suffix).size());
      }
    }
    EXPECT_NE(text.find("# TYPE " + family + " "), std::string::npos) << line;
    ++samples;
  }
  EXPECT_GT(samples, 40);
}

TEST(OperationsTest, AMetricsAddressServesMetricsWithoutTokenAndNothingElse) {
  RunningService service(Backend::Sqlite, {"--metrics-listen", "127.0.0.1:0"});
  const std::string log = service.process().log();
  const std::size_t at = log.find("metrics on 127.0.0.1:");
  ASSERT_NE(at, std::string::npos) << log;
  const auto port = static_cast<std::uint16_t>(std::stoi(log.substr(at + std::string_view("metrics on 127.0.0.1:").size())));
  EXPECT_EQ(get(port, "/metrics").status, 200);
  EXPECT_EQ(get(port, "/healthz").status, 200);
  EXPECT_EQ(get(port, "/").status, 404);
  EXPECT_EQ(testkit::callWebMethod(port, "WriteLog", kValidLog).status, 404);
  EXPECT_EQ(get(service.port(), "/metrics", "Authorization: Bearer " + std::string(kToken) + "\r\n").status, 404);
  EXPECT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
}

TEST(OperationsTest, TheAccessLogHasALinePerRequestAndNoSecret) {
  testkit::TemporaryDirectory directory;
  const std::string path = directory.path() + "/access.log";
  RunningService service(Backend::Sqlite, {"--access-log", path});
  ASSERT_EQ(intResult(service.call("WriteLog", kValidLog)), 1);
  EXPECT_EQ(get(service.port(), "/?token=" + std::string(kToken)).status, 303);
  EXPECT_EQ(get(service.port(), "/", "Cookie: zandle_session=secret-session-id\r\n").status, 401);
  EXPECT_EQ(get(service.port(), "/export/logs.json", "Authorization: Bearer " + std::string(kToken) + "\r\n").status,
            200);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  const std::string log = readFile(path);
  const std::regex line(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?Z 127\.0\.0\.1 (GET|POST) /\S* \d{3} \d+ [0-9.]+ms)");
  std::istringstream lines(log);
  std::string each;
  int count = 0;
  while (std::getline(lines, each)) {
    EXPECT_TRUE(std::regex_match(each, line)) << "[" << each << "]";
    ++count;
  }
  EXPECT_EQ(count, 4) << log;
  EXPECT_NE(log.find(" POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog 200 "), std::string::npos) << log;
  EXPECT_EQ(log.find(kToken), std::string::npos) << log;
  EXPECT_EQ(log.find("secret-session-id"), std::string::npos) << log;
}

TEST(OperationsTest, SecurityEventsAreLoggedWithoutTheAccessLog) {
  RunningService service(Backend::Sqlite);
  EXPECT_EQ(get(service.port(), "/export/logs.json", "Authorization: Bearer wrong-token-guessed\r\n").status, 401);
  EXPECT_EQ(testkit::exchange(service.port(),
                              "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\nContent-Length: 5000\r\n\r\n")
                .status,
            413);
  const std::string log = service.process().log();
  EXPECT_NE(log.find("security: wrong dashboard token from 127.0.0.1"), std::string::npos) << log;
  EXPECT_NE(log.find("security: refused (body_too_large)"), std::string::npos) << log;
  EXPECT_EQ(log.find("GET /export"), std::string::npos) << log;
}

}  // namespace
}  // namespace zandle::servicetest
