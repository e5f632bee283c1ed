// HTML of the dashboard. Every text that came from a client or an editor is escaped.
#pragma once

#include <string>
#include <string_view>

#include "dashboard/dashboard_data.h"

namespace zandle::service {

// `formToken` goes into the editor's forms: a configuration change must carry it.
std::string dashboardPage(const DashboardData& data, std::string_view formToken);

std::string loginPage(std::string_view message);

std::string messagePage(std::string_view title, std::string_view message);

}  // namespace zandle::service
