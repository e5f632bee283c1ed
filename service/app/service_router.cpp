#include "app/service_router.h"

#include <limits>

#include "client/core/wire_protocol.h"
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
  if (IngestionHandler::isIngestionPath(request.path)) {
    if (!limiter_.admit(addressKey(request.peerAddress), request.arrivalMillis)) {
      HttpResponse refused = plainTextResponse(429, "Too many requests from this address");
      refused.headers.emplace_back("Retry-After", "1");
      return respond(std::move(refused));
    }
    return ingestion_.handle(request, respond);
  }
  dashboard_.handle(request, respond);
}

}  // namespace zandle::service
