// Command line of zandle-service.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zandle::service {

struct ServiceOptions {
  std::string listen = "127.0.0.1:8080";
  std::string store = "sqlite:zandle.db";
  std::optional<std::string> token;
  std::optional<std::string> tokenFile;
  std::size_t maxBodyBytes = 64 * 1024;
  std::size_t maxConnections = 10'000;
  std::size_t maxConnectionsPerAddress = 2'500;
  std::optional<std::size_t> reservedConnections;  // default: a tenth of maxConnections
  int headTimeoutMs = 5'000;
  int requestTimeoutMs = 10'000;
  double rateLimit = 0;  // requests per second per client address; 0 is unlimited
  double rateBurst = 0;  // 0: twice the rate, at least 10
  // UserLeave calls naming no session, per second per client address, after a burst of 10; 0 is unlimited.
  double leaveFailureRate = 1;
  int retainLogDays = 0;  // 0: as retainDays
  int retainDays = 0;     // sessions, answers and (unless retainLogDays) log lines; 0 keeps them
  // Peers whose X-Forwarded-Proto/-For are believed (a TLS-terminating proxy).
  std::vector<std::string> trustedProxies;
  int sessionSeconds = 12 * 3600;  // a dashboard sign-in lasts this long
  std::optional<std::string> metricsListen;  // /metrics without a token here, and not on --listen
  std::string accessLog;  // empty: none; "-": stderr
  bool help = false;

  // Throws std::invalid_argument with a message for the user.
  static ServiceOptions parse(const std::vector<std::string>& arguments);
  static const char* usage();
};

}  // namespace zandle::service
