// Sends each request to the web methods or to the dashboard.
#pragma once

#include "dashboard/dashboard_handler.h"
#include "http/http_server.h"
#include "ingest/ingestion_handler.h"
#include "ingest/rate_limiter.h"

namespace zandle::service {

// The largest body a request to `path` may carry, known from its head alone.
std::size_t bodyLimitFor(std::string_view method, std::string_view path);

class ServiceRouter {
 public:
  ServiceRouter(IngestionHandler& ingestion, DashboardHandler& dashboard, RateLimiter& limiter)
      : ingestion_(ingestion), dashboard_(dashboard), limiter_(limiter) {}

  void handle(HttpRequest&& request, const Responder& respond);

 private:
  IngestionHandler& ingestion_;
  DashboardHandler& dashboard_;
  RateLimiter& limiter_;
};

}  // namespace zandle::service
