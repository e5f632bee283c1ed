#include "service_test_support.h"

#include <libpq-fe.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "client/core/wire_protocol.h"
#include "common/text_escape.h"

namespace zandle::servicetest {
namespace {

std::optional<std::string> postgresBaseUrl() {
  const char* file = std::getenv("ZANDLE_TEST_POSTGRES_URL_FILE");
  if (!file) return std::nullopt;
  std::ifstream in(file);
  std::string url;
  if (!std::getline(in, url) || url.empty()) return std::nullopt;
  return url;
}

// A database of its own for each service, on the shared test server.
std::optional<std::string> freshPostgresDatabase() {
  const auto base = postgresBaseUrl();
  if (!base) return std::nullopt;
  static std::atomic<int> counter{0};
  const std::string name = "zt_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  PGconn* conn = PQconnectdb(base->c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    PQfinish(conn);
    return std::nullopt;
  }
  PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
  const bool created = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  PQfinish(conn);
  if (!created) return std::nullopt;
  std::string url = *base;
  url.replace(url.find("/postgres?"), 10, "/" + name + "?");
  return url;
}

// The sanitized build when the test run names one, else the ordinary service.
std::string serviceBinary() {
  const char* chosen = std::getenv("ZANDLE_SERVICE_UNDER_TEST");
  return chosen && *chosen ? chosen : ZANDLE_SERVICE_BINARY;
}

}  // namespace

std::string backendName(const testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

RunningService::RunningService(Backend backend, std::vector<std::string> extraArguments)
    : directory_(std::make_unique<testkit::TemporaryDirectory>()) {
  if (backend == Backend::Sqlite) {
    store_ = "sqlite:" + directory_->path() + "/zandle.db";
  } else {
    const auto url = freshPostgresDatabase();
    if (!url) return;  // the caller skips
    store_ = *url;
  }
  arguments_ = {"--store", store_, "--token", std::string(kToken)};
  arguments_.insert(arguments_.end(), extraArguments.begin(), extraArguments.end());
  process_ = testkit::ServiceProcess::start(serviceBinary(), arguments_);
}

void awayFromMidnight(std::chrono::milliseconds margin) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto midnight = floor<days>(now) + days{1};
  if (midnight - now < margin) std::this_thread::sleep_for(midnight - now + milliseconds(50));
}

std::unique_ptr<RunningService> RunningService::sharingStoreWith(const RunningService& other) {
  std::unique_ptr<RunningService> second(new RunningService);
  second->store_ = other.store_;
  second->arguments_ = other.arguments_;
  second->process_ = testkit::ServiceProcess::start(serviceBinary(), second->arguments_);
  return second;
}

RunningService::~RunningService() {
  if (process_) process_->terminate();
}

void RunningService::restart(const std::vector<std::string>& moreArguments) {
  if (process_) process_->terminate();
  std::vector<std::string> arguments = arguments_;
  arguments.insert(arguments.end(), moreArguments.begin(), moreArguments.end());
  process_ = testkit::ServiceProcess::start(serviceBinary(), arguments);
}

testkit::HttpReply RunningService::call(std::string_view method, std::string_view body) const {
  return testkit::callWebMethod(port(), method, body);
}

testkit::HttpReply RunningService::get(std::string_view target) const {
  return testkit::getWithToken(port(), target, kToken);
}

nlohmann::json RunningService::exportJson(std::string_view name, std::string_view query) const {
  const std::string target = "/export/" + std::string(name) + (query.empty() ? "" : "?" + std::string(query));
  const testkit::HttpReply reply = get(target);
  EXPECT_EQ(reply.status, 200) << target << "\n" << reply.body;
  try {
    return nlohmann::json::parse(reply.body);
  } catch (const std::exception& error) {
    ADD_FAILURE() << "export " << target << " is not valid JSON: " << error.what() << "\n" << reply.body;
    return nlohmann::json::array();
  }
}

testkit::HttpReply RunningService::configure(std::string_view model, int warningLevel,
                                             std::string_view functions) const {
  const std::string body = "action=save&model=" + service::urlEncode(model) +
                           "&warningLevel=" + std::to_string(warningLevel) +
                           "&functions=" + service::urlEncode(functions);
  return testkit::postForm(port(), "/config", body, "Authorization: Bearer " + std::string(kToken) + "\r\n");
}

std::optional<long long> intResult(const testkit::HttpReply& reply) {
  const std::size_t at = reply.body.find(wire::kIntStartTag);
  if (at == std::string::npos) return std::nullopt;
  return std::stoll(reply.body.substr(at + wire::kIntStartTag.size()));
}

std::optional<std::string> stringResult(const testkit::HttpReply& reply) {
  const std::size_t at = reply.body.find(wire::kStringStartTag);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t start = at + wire::kStringStartTag.size();
  return reply.body.substr(start, reply.body.find('<', start) - start);
}

std::string clientEncode(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '%': out += "%25"; break;
      case '&': out += "%26"; break;
      case '=': out += "%3D"; break;
      case '+': out += "%2B"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace zandle::servicetest
