// JSON and CSV exports: "/export/NAME.json" and "/export/NAME.csv".
#pragma once

#include <optional>
#include <string_view>

#include "dashboard/dashboard_filter.h"
#include "http/http_response.h"
#include "store/database.h"

namespace zandle::service {

// Nothing for a name that is not an export.
std::optional<HttpResponse> exportResponse(std::string_view fileName, Database& database,
                                           const DashboardFilter& filter);

bool isExportName(std::string_view fileName);

}  // namespace zandle::service
