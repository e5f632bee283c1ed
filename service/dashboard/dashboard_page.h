// HTML of the dashboard's pages. Every text that came from a client or an
// editor is escaped. `formToken` is the viewer's session form token (empty
// for scripts): forms carry it.
#pragma once

#include <string>
#include <string_view>

#include "dashboard/dashboard_data.h"
#include "dashboard/page_data.h"

namespace zandle::service {

std::string dashboardPage(const DashboardData& data, std::string_view formToken);
std::string logsPage(const LogsPageData& data, std::string_view formToken);
std::string logLinePage(const LogLinePageData& data, std::string_view formToken);
std::string toolsPage(const ToolsPageData& data, std::string_view formToken);
std::string configPage(const ConfigPageData& data, std::string_view formToken);

std::string loginPage(std::string_view message);

std::string messagePage(std::string_view title, std::string_view message);

}  // namespace zandle::service
