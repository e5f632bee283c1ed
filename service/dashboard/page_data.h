// What the log, tool and configuration pages show, read in one store job each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dashboard/dashboard_filter.h"
#include "store/dashboard_queries.h"
#include "store/database.h"

namespace zandle::service {

struct LogsPageData {
  DashboardFilter filter;
  std::vector<LogRow> lines;
  bool more = false;
  std::vector<ToolRow> toolChoices;
  std::vector<LogLevelName> levelNames;
};

struct LogLinePageData {
  DashboardFilter filter;
  std::optional<StoredLogLine> line;
};

struct ToolsPageData {
  DashboardFilter filter;
  std::vector<ToolRow> tools;
  bool more = false;
};

struct ConfigPageData {
  DashboardFilter filter;
  std::string model;  // empty: the default for tools without their own
  std::optional<ToolConfig> config;
  std::vector<LogLevelName> levelNames;          // its own
  std::vector<LogLevelName> inheritedLevelNames;  // what applies without its own
  bool saved = false;
};

LogsPageData loadLogsPage(Database& database, const DashboardFilter& filter);
LogLinePageData loadLogLinePage(Database& database, const DashboardFilter& filter, std::int64_t id);
ToolsPageData loadToolsPage(Database& database, const DashboardFilter& filter);
ConfigPageData loadConfigPage(Database& database, const DashboardFilter& filter, const std::string& model);

}  // namespace zandle::service
