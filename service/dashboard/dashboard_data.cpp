#include "dashboard/dashboard_data.h"

#include "common/clock.h"
#include "store/dashboard_queries.h"

#include <algorithm>
#include <map>

namespace zandle::service {

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter) {
  DashboardData data;
  data.filter = filter;
  const TimeRange range = filter.range();
  DashboardQueries queries(database.sqlConnection());
  data.openSessions = queries.openSessions(filter.tool);
  data.sessionsInPeriod = 0;
  for (std::int64_t day = filter.fromDay; day <= filter.toDay; ++day) {
    const SessionFigures stored = queries.sessionFigures({{day * kMillisPerDay, (day + 1) * kMillisPerDay}, filter.tool});
    data.days.push_back({day, stored.sessions, stored.users, stored.medianMillis});
    data.sessionsInPeriod += stored.sessions;
  }
  data.medianSessionMillis = queries.sessionFigures({range, filter.tool}).medianMillis;

  std::map<std::pair<std::string, std::string>, FunctionFigures> functions;
  for (const SatisfactionCount& count : database.satisfactionCounts(range)) {
    if (filter.tool && count.model != *filter.tool) continue;
    FunctionFigures& figures = functions[{count.model, count.function}];
    figures.model = count.model;
    figures.function = count.function;
    figures.reports += count.reports;
    if (count.level >= kLowestSatisfactionLevel && count.level <= kHighestSatisfactionLevel) {
      figures.levels[static_cast<std::size_t>(count.level - kLowestSatisfactionLevel)] += count.reports;
    } else {
      figures.otherLevels += count.reports;
    }
  }
  for (auto& entry : functions) data.functions.push_back(std::move(entry.second));
  std::stable_sort(data.functions.begin(), data.functions.end(),
                   [](const FunctionFigures& a, const FunctionFigures& b) { return a.reports > b.reports; });

  data.logLines = database.logLines(filter.logQuery());
  data.configs = database.toolConfigs();
  data.modelsSeen = database.modelsSeen();
  return data;
}

}  // namespace zandle::service
