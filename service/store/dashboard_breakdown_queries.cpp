// Versions and log level names of DashboardQueries.
#include "store/dashboard_queries.h"
#include "store/query_helpers.h"

namespace zandle::service {
using namespace query;

std::optional<std::int64_t> DashboardQueries::versionFirstSeen(const ToolAnd& key) {
  if (!sql_) return std::nullopt;
  const SqlResult first =
      sql_->run("SELECT MIN(entered_ms) FROM sessions WHERE model = ? AND version = ?", {key.first, key.second});
  if (first.rows.empty() || !first.rows[0].at(0)) return std::nullopt;
  return integerAt(first.rows[0], 0);
}

std::vector<LogLevelName> DashboardQueries::logLevelNames(const std::string& model) {
  std::vector<LogLevelName> names;
  if (!sql_) return names;
  for (const Row& row :
       sql_->run("SELECT level, name, color FROM tool_log_levels WHERE model = ? ORDER BY level", {model}).rows) {
    names.push_back({static_cast<std::int32_t>(integerAt(row, 0)), textAt(row, 1), textAt(row, 2)});
  }
  return names;
}

void DashboardQueries::saveLogLevelNames(const std::string& model, const std::vector<LogLevelName>& names) {
  if (!sql_) return;
  sql_->run("DELETE FROM tool_log_levels WHERE model = ?", {model});
  for (const LogLevelName& name : names) {
    sql_->run("INSERT INTO tool_log_levels (model, level, name, color) VALUES (?, ?, ?, ?)",
              {model, std::int64_t{name.level}, name.name, name.color});
  }
}

}  // namespace zandle::service
