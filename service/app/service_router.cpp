#include "app/service_router.h"

#include <limits>

#include "client/core/wire_protocol.h"
#include "common/clock.h"
#include "http/socket_address.h"
#include "ingest/field_limits.h"

namespace zandle::service {

std::size_t bodyLimitFor(std::string_view method, std::string_view path) {
  constexpr std::size_t kSmallFormBytes = 4096;
  if (IngestionHandler::isIngestionPath(path)) return maxBodyBytes(path.substr(wire::kObjectPathPrefix.size()));
  // A configuration's function list is the one long form; --max-body bounds it.
  if (method == "POST" && path == "/config") return std::numeric_limits<std::size_t>::max();
  return kSmallFormBytes;
}

void ServiceRouter::handle(HttpRequest&& request, const Responder& respond) {
  if (request.path == "/healthz" && request.method == "GET") return health(respond);
  if (request.path == "/metrics" && request.method == "GET") return metrics(request, respond);
  if (request.viaSecondListener) return respond(plainTextResponse(404, "Only /metrics and /healthz are served here"));
  if (IngestionHandler::isIngestionPath(request.path)) {
    if (!parts_.limiter.admit(addressKey(request.peerAddress), request.arrivalMillis)) {
      HttpResponse refused = plainTextResponse(429, "Too many requests from this address");
      refused.headers.emplace_back("Retry-After", "1");
      refused.refusal = "rate_limit";
      return respond(std::move(refused));
    }
    return parts_.ingestion.handle(request, respond);
  }
  parts_.dashboard.handle(request, respond);
}

// Up, and the store takes a write: 200; else 503 with the cause.
void ServiceRouter::health(const Responder& respond) {
  StoreWorker* writer = &parts_.writer;
  const bool queued = writer->submit({[](Database& database) { database.recordHealthCheck(nowMillis()); },
                                      [respond, writer](bool succeeded) {
                                        if (succeeded) return respond(plainTextResponse(200, "ok"));
                                        respond(plainTextResponse(503, "store not writable: " + writer->lastFailure()));
                                      }});
  if (!queued) respond(plainTextResponse(503, "store not writable: its queue is full or it is stopping"));
}

void ServiceRouter::metrics(const HttpRequest& request, const Responder& respond) {
  if (!request.viaSecondListener && metricsListener_) {
    return respond(plainTextResponse(404, "Metrics are served on the metrics address"));
  }
  // The server's table is read on its thread, here, even when the token is checked elsewhere.
  const ConnectionCounts connections = server_ ? server_->connectionCounts() : ConnectionCounts{};
  if (request.viaSecondListener) return sendMetrics(connections, respond);
  parts_.dashboard.identify(request, [this, connections, respond](std::optional<Caller> caller) {
    if (!caller) return respond(plainTextResponse(503, "Storage unavailable"));
    if (*caller == Caller::Script || *caller == Caller::Browser) return sendMetrics(connections, respond);
    HttpResponse refused = plainTextResponse(*caller == Caller::Throttled ? 429 : 401, "A dashboard token is required");
    if (*caller == Caller::Throttled) refused.refusal = "sign_in_lockout";
    if (*caller == Caller::WrongToken) refused.refusal = "wrong_token";
    respond(std::move(refused));
  });
}

void ServiceRouter::sendMetrics(const ConnectionCounts& connections, const Responder& respond) {
  HttpResponse response;
  response.contentType = "text/plain; version=0.0.4; charset=utf-8";
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = parts_.monitor.render(connections, parts_.writer, parts_.reader);
  respond(std::move(response));
}

}  // namespace zandle::service
