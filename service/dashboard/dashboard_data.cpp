#include "dashboard/dashboard_data.h"

#include "common/clock.h"

namespace zandle::service {

void loadSessionFigures(DashboardQueries& queries, DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  data.openSessions = queries.openSessions(filter.tool);
  data.sessionsInPeriod = 0;
  for (std::int64_t day = filter.fromDay; day <= filter.toDay; ++day) {
    const SessionFigures stored = queries.sessionFigures({{day * kMillisPerDay, (day + 1) * kMillisPerDay}, filter.tool});
    data.days.push_back({day, stored.sessions, stored.users, stored.medianMillis});
    data.sessionsInPeriod += stored.sessions;
  }
  data.medianSessionMillis = queries.sessionFigures(filter.scope()).medianMillis;
}

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter) {
  DashboardData data;
  data.filter = filter;
  DashboardQueries queries(database.sqlConnection());
  loadSessionFigures(queries, data);

  // One row more than shown tells whether there is a next page.
  data.functions = queries.functions(filter.scope(), filter.functionPage * kFunctionsPerPage, kFunctionsPerPage + 1);
  data.moreFunctions = data.functions.size() > kFunctionsPerPage;
  if (data.moreFunctions) data.functions.pop_back();

  data.logLines = queries.logPage(filter.logFilter(), 0, kRecentLogLines + 1, kLogTextChars);
  data.moreLogLines = data.logLines.size() > kRecentLogLines;
  if (data.moreLogLines) data.logLines.pop_back();

  data.toolChoices = queries.tools(std::nullopt, 0, kToolChoices);
  return data;
}

}  // namespace zandle::service
