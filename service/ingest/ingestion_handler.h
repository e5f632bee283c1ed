// The five web-service methods under "/WriteLogWeb/WriteLogWeb.asmx/".
// Every reply that reports success is sent after its record has been committed.
#pragma once

#include <string_view>

#include "http/http_request.h"
#include "http/http_server.h"
#include "ingest/failure_limiter.h"
#include "store/store_worker.h"

namespace zandle::service {

class FormFields;

class IngestionHandler {
 public:
  // leaveFailures: UserLeave for ids that are no session, counted per address.
  IngestionHandler(StoreWorker& writer, FailureLimiter& leaveFailures)
      : writer_(writer), leaveFailures_(leaveFailures) {}

  static bool isIngestionPath(std::string_view path);

  void handle(const HttpRequest& request, const Responder& respond);

 private:
  void getAppInfo(const FormFields& form, const HttpRequest& request, const Responder& respond);
  void userEnter(const FormFields& form, const HttpRequest& request, const Responder& respond);
  void userLeave(const FormFields& form, const HttpRequest& request, const Responder& respond);
  void writeLog(const FormFields& form, const HttpRequest& request, const Responder& respond);
  void satisfaction(const FormFields& form, const HttpRequest& request, const Responder& respond);
  void submit(StoreJob job, const Responder& respond);

  StoreWorker& writer_;
  FailureLimiter& leaveFailures_;
};

}  // namespace zandle::service
