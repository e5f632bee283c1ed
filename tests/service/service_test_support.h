// Starting the real service for a test and reading back what it stored.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "testkit/raw_http.h"
#include "testkit/service_process.h"

namespace zandle::servicetest {

inline constexpr std::string_view kToken = "t0k3n-for-the-tests";
// A level-0 line any fresh store accepts.
inline const std::string kValidLog = "strLoginUIN=1&strLogInfo=Tool,1.0[fine]&nLogLevel=0";

enum class Backend { Sqlite, Postgres };

// Floods open thousands of sockets: lift the soft descriptor limit to the hard one.
inline void raiseDescriptorLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// Rows a test writes straight into a store are not in the service's running
// counts: this makes the store one from before them, so the service counts
// everything again when it starts.
inline constexpr const char* kForgetTallies =
    "DROP TABLE IF EXISTS tally_backfill; DROP TABLE IF EXISTS tool_tally; DROP TABLE IF EXISTS version_tally; "
    "DROP TABLE IF EXISTS function_tally;";

std::string backendName(const testing::TestParamInfo<Backend>& info);

// Records the service stamps now and a test then reads back by UTC day must not
// have a midnight between them: this waits out the day's last `margin`.
void awayFromMidnight(std::chrono::milliseconds margin = std::chrono::seconds(20));

// A service on a fresh store of the given kind. The store outlives restarts.
class RunningService {
 public:
  // GTEST_SKIP()s the caller when the backend cannot be had: check skipped() after.
  explicit RunningService(Backend backend, std::vector<std::string> extraArguments = {});
  // A second instance on the same store as `other`.
  static std::unique_ptr<RunningService> sharingStoreWith(const RunningService& other);
  ~RunningService();

  bool skipped() const { return !process_; }
  std::uint16_t port() const { return process_->port(); }
  testkit::ServiceProcess& process() { return *process_; }
  const std::string& store() const { return store_; }

  // Same store and arguments, plus any given here.
  void restart(const std::vector<std::string>& moreArguments = {});
  void kill() { process_->kill(); }
  int terminate() { return process_->terminate(); }

  testkit::HttpReply call(std::string_view method, std::string_view body) const;
  // GET /export/NAME with the token; fails the test unless it is valid JSON.
  nlohmann::json exportJson(std::string_view name, std::string_view query = "") const;
  testkit::HttpReply get(std::string_view target) const;
  // POST /config with the bearer token.
  testkit::HttpReply configure(std::string_view model, int warningLevel, std::string_view functions) const;

 private:
  RunningService() = default;
  std::unique_ptr<testkit::TemporaryDirectory> directory_;
  std::vector<std::string> arguments_;
  std::string store_;
  std::unique_ptr<testkit::ServiceProcess> process_;
};

// "<int xmlns=...>N</int>" as the client finds it, or nothing.
std::optional<long long> intResult(const testkit::HttpReply& reply);
// Content of the string element, still escaped, or nothing.
std::optional<std::string> stringResult(const testkit::HttpReply& reply);

// Form value as the client encodes it: exactly "%", "&", "=" and "+" escaped.
std::string clientEncode(std::string_view value);

}  // namespace zandle::servicetest
