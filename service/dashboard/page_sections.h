// Sections more than one dashboard page shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dashboard/dashboard_filter.h"
#include "store/dashboard_queries.h"

namespace zandle::service {

// Preset periods beside the dates, time zone, tool (a short list; every tool
// is on the tools page) and, on the log page, level and search. Submits to `action`.
// `compared`: the page sets figures beside those of the period before.
std::string filterBar(const DashboardFilter& filter, const std::vector<ToolRow>& toolChoices,
                      const std::vector<std::string>& timeZones, std::string_view action, bool logFields,
                      bool compared);

// Hidden fields with the period, zone and tool, for forms that change the rest.
std::string filterFields(const DashboardFilter& filter);

// One row per log line, its level named as the tool's configuration says,
// its text cut short with a link to the whole line.
std::string logTable(const std::vector<LogRow>& lines, const DashboardFilter& filter,
                     const std::vector<LogLevelName>& levelNames);

}  // namespace zandle::service
