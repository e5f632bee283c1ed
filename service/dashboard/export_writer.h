// JSON and CSV exports: "/export/NAME.json" and "/export/NAME.csv". Each is
// read from the store a page of rows at a time, as the reader takes it, so an
// export of any length holds a page in memory.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "dashboard/dashboard_filter.h"
#include "http/http_response.h"
#include "store/database.h"
#include "store/store_worker.h"

namespace zandle::service {

bool isExportName(std::string_view fileName);

// Writes an export piece by piece. next() runs on the store reader's thread
// and may be repeated after a failure, so it changes its position only once
// it has read its rows.
class ExportCursor {
 public:
  virtual ~ExportCursor() = default;
  // Appends the next piece to `out`; false once the export is complete.
  virtual bool next(Database& database, std::string& out) = 0;
};

std::shared_ptr<ExportCursor> exportCursor(std::string_view fileName, const DashboardFilter& filter);

// A 200 response whose body is `firstPiece`, then the rest of `cursor` unless complete.
HttpResponse exportResponse(std::string_view fileName, std::string firstPiece, bool complete,
                            std::shared_ptr<ExportCursor> cursor, StoreWorker& reader);

}  // namespace zandle::service
