// What the service reports about itself: the figures behind /metrics, the
// optional access log, and the security events (refusals by cause), which
// are logged whether the access log is on or not.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "common/coalesced_log.h"
#include "common/metrics.h"
#include "http/http_server.h"

namespace zandle::service {

class StoreWorker;

class ServiceMonitor final : public HttpObserver {
 public:
  // accessLogPath: empty for none, "-" for stderr.
  explicit ServiceMonitor(const std::string& accessLogPath);
  ~ServiceMonitor() override;

  void answered(const AnsweredRequest& request) override;
  void refused(std::string_view cause) override;
  void tick() override;

  // The Prometheus text for the server and the store workers given.
  std::string render(const ConnectionCounts& connections, const StoreWorker& writer, const StoreWorker& reader) const;

 private:
  void flushAccessLog();

  // (route, status): routes are literals, so counting builds no string.
  mutable std::mutex requestsMutex_;
  std::map<std::pair<std::string_view, int>, std::uint64_t> requests_;
  LabelledCounter refusals_;
  Histogram requestSeconds_;
  std::mutex securityMutex_;
  std::map<std::string, std::unique_ptr<CoalescedLog>, std::less<>> securityLogs_;
  std::FILE* accessLog_ = nullptr;
  bool ownsAccessLog_ = false;
  std::string accessPending_;
  // The date and time to the second, formatted once a second rather than per line.
  std::int64_t accessSecond_ = -1;
  std::string accessSecondText_;
};

// The label the request is counted under: the web method, or the kind of dashboard request.
std::string_view routeLabel(std::string_view path);

}  // namespace zandle::service
