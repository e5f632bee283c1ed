#include "dashboard/dashboard_data.h"

#include <algorithm>
#include <map>

namespace zandle::service {

std::optional<std::int64_t> medianOf(const std::vector<std::int64_t>& sorted) {
  if (sorted.empty()) return std::nullopt;
  const std::size_t middle = sorted.size() / 2;
  if (sorted.size() % 2 == 1) return sorted[middle];
  return sorted[middle - 1] + (sorted[middle] - sorted[middle - 1]) / 2;
}

DashboardData loadDashboardData(Database& database, const DashboardFilter& filter) {
  DashboardData data;
  data.filter = filter;
  const TimeRange range = filter.range();
  data.openSessions = database.openSessionCount();

  std::vector<std::int64_t> allDurations;
  const std::vector<DailySessions> stored = database.dailySessions(range);
  auto next = stored.begin();
  for (std::int64_t day = filter.fromDay; day <= filter.toDay; ++day) {
    DayFigures figures{day, 0, 0, std::nullopt};
    if (next != stored.end() && next->day == day) {
      figures.sessions = next->sessions;
      figures.distinctUsers = next->distinctUsers;
      figures.medianSessionMillis = medianOf(next->closedDurationsMillis);
      allDurations.insert(allDurations.end(), next->closedDurationsMillis.begin(), next->closedDurationsMillis.end());
      ++next;
    }
    data.sessionsInPeriod += figures.sessions;
    data.days.push_back(figures);
  }
  std::sort(allDurations.begin(), allDurations.end());
  data.medianSessionMillis = medianOf(allDurations);

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
