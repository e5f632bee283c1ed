// Sections of the overview page, each in its own file.
#pragma once

#include <string>

#include "dashboard/dashboard_data.h"

namespace zandle::service {

std::string headlineSection(const DashboardData& data);
std::string activitySection(const DashboardData& data);
std::string versionSection(const DashboardData& data);
std::string satisfactionSection(const DashboardData& data);
std::string logSection(const DashboardData& data);
std::string exportSection(const DashboardData& data);

// Where the versions on the page first appeared among `buckets`, for chart markers.
std::vector<std::pair<std::size_t, std::string>> releaseMarkers(const DashboardData& data,
                                                                const std::vector<Bucket>& buckets);

// "the 30 days before: 1,234", for the change beside a figure.
std::string beforeText(const DashboardData& data, std::string_view figure);

}  // namespace zandle::service
