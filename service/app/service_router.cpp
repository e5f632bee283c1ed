#include "app/service_router.h"

namespace zandle::service {

void ServiceRouter::handle(HttpRequest&& request, const Responder& respond) {
  if (IngestionHandler::isIngestionPath(request.path)) {
    if (!limiter_.admit(request.peerAddress, request.arrivalMillis)) {
      return respond(plainTextResponse(429, "Too many requests from this address"));
    }
    return ingestion_.handle(request, respond);
  }
  dashboard_.handle(request, respond);
}

}  // namespace zandle::service
