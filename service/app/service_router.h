// Sends each request to the web methods, the dashboard, or the service's own
// /healthz and /metrics.
#pragma once

#include "app/service_monitor.h"
#include "dashboard/dashboard_handler.h"
#include "http/http_server.h"
#include "ingest/ingestion_handler.h"
#include "ingest/rate_limiter.h"

namespace zandle::service {

// The largest body a request to `path` may carry, known from its head alone.
std::size_t bodyLimitFor(std::string_view method, std::string_view path);

struct RouterParts {
  IngestionHandler& ingestion;
  DashboardHandler& dashboard;
  RateLimiter& limiter;
  ServiceMonitor& monitor;
  StoreWorker& writer;
  StoreWorker& reader;
};

class ServiceRouter {
 public:
  explicit ServiceRouter(RouterParts parts) : parts_(parts) {}

  // Set once the server exists; its connections are counted for /metrics.
  void setServer(const HttpServer* server) { server_ = server; }
  // /metrics without a token on the second listening address (and only there).
  void setMetricsListener(bool separate) { metricsListener_ = separate; }

  void handle(HttpRequest&& request, const Responder& respond);

 private:
  void health(const Responder& respond);
  void metrics(const HttpRequest& request, const Responder& respond);
  void sendMetrics(const ConnectionCounts& connections, const Responder& respond);

  RouterParts parts_;
  const HttpServer* server_ = nullptr;
  bool metricsListener_ = false;
};

}  // namespace zandle::service
