// Sections more than one dashboard page shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dashboard/dashboard_filter.h"
#include "store/dashboard_queries.h"

namespace zandle::service {

// Dates, tool (a short list; every tool is on the tools page) and, on the log
// page, level and search. Submits to `action`.
std::string filterBar(const DashboardFilter& filter, const std::vector<ToolRow>& toolChoices, std::string_view action,
                      bool logFields);

// One row per log line, its text cut short with a link to the whole line.
std::string logTable(const std::vector<LogRow>& lines, std::string_view query);

}  // namespace zandle::service
