#include "dashboard/page_data.h"

#include "dashboard/dashboard_data.h"

namespace zandle::service {

LogsPageData loadLogsPage(Database& database, const DashboardFilter& filter) {
  LogsPageData data;
  data.filter = filter;
  DashboardQueries queries(database.sqlConnection());
  data.lines = queries.logPage(filter.logFilter(), filter.page * kLogLinesPerPage, kLogLinesPerPage + 1, kLogTextChars);
  data.more = data.lines.size() > kLogLinesPerPage;
  if (data.more) data.lines.pop_back();
  data.toolChoices = queries.tools(std::nullopt, 0, kToolChoices);
  data.levelNames = levelNamesFor(queries, filter.tool);
  return data;
}

LogLinePageData loadLogLinePage(Database& database, const DashboardFilter& filter, std::int64_t id) {
  return {filter, DashboardQueries(database.sqlConnection()).logLine(id)};
}

ToolsPageData loadToolsPage(Database& database, const DashboardFilter& filter) {
  ToolsPageData data;
  data.filter = filter;
  data.tools = DashboardQueries(database.sqlConnection()).tools(filter.search, filter.page * kToolsPerPage,
                                                                kToolsPerPage + 1);
  data.more = data.tools.size() > kToolsPerPage;
  if (data.more) data.tools.pop_back();
  return data;
}

ConfigPageData loadConfigPage(Database& database, const DashboardFilter& filter, const std::string& model) {
  DashboardQueries queries(database.sqlConnection());
  ConfigPageData data{filter, model, database.toolConfig(model), queries.logLevelNames(model), {}, false};
  data.inheritedLevelNames = model.empty() ? builtInLevelNames() : levelNamesFor(queries, std::nullopt);
  return data;
}

}  // namespace zandle::service
