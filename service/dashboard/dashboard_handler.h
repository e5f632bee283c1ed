// Everything outside the web-service path: the dashboard, its sign-in and
// sign-out, the exports and the configuration editor, all behind the master
// token or a session it opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "dashboard/dashboard_access.h"
#include "http/http_request.h"
#include "http/http_server.h"
#include "store/store_worker.h"

namespace zandle::service {

struct DashboardLimits {
  // Exports stream every row in constant memory; "limit=" may ask for fewer.
  std::size_t maxExportRows = SIZE_MAX;
};

class DashboardHandler {
 public:
  DashboardHandler(StoreWorker& reader, StoreWorker& writer, AccessToken token, DashboardLimits limits,
                   AccessSettings access = {})
      : reader_(reader), writer_(writer), access_(std::move(token), std::move(access)), limits_(limits) {}

  void handle(const HttpRequest& request, const Responder& respond);
  // Who asks, by the dashboard's rules (for other pages behind its token); `then` gets
  // nothing when the store could not say.
  void identify(const HttpRequest& request, std::function<void(std::optional<Caller>)> then);

 private:
  void showPage(const HttpRequest& request, const Identity& identity, const Responder& respond);
  void exportFile(const HttpRequest& request, const Responder& respond);
  void signIn(const HttpRequest& request, const Responder& respond);
  void signOut(const HttpRequest& request, const Identity& identity, const Responder& respond);
  void proceed(const HttpRequest& request, const Identity& identity, const Responder& respond);
  // Runs `decide` with the sign-in records on `worker` (the writer for anything that
  // writes them, in its transaction), then `then` with its success.
  bool withAccess(StoreWorker& worker, std::function<void(AccessRecords&)> decide, std::function<void(bool)> then);
  void changeConfig(const HttpRequest& request, const Identity& identity, const Responder& respond);

  StoreWorker& reader_;
  StoreWorker& writer_;
  DashboardAccess access_;
  MemoryAccessRecords memoryRecords_;  // for a service without a store
  DashboardLimits limits_;
};

}  // namespace zandle::service
