// Satisfaction, versions and log levels of DashboardQueries: counts broken
// down by a key, for the keys of one page.
#include "store/dashboard_queries.h"
#include "store/query_helpers.h"

namespace zandle::service {
namespace {

using namespace query;

// Levels 1 to 3 as themselves, the rest as 0.
constexpr std::string_view kAnswerLevel = "CASE WHEN level BETWEEN 1 AND 3 THEN level ELSE 0 END";

void count(LevelCounts& counts, std::int64_t level, std::int64_t answers) {
  if (level >= 1 && level <= 3) {
    counts.levels[static_cast<std::size_t>(level - 1)] += answers;
  } else {
    counts.other += answers;
  }
}

// "(model = ? AND column = ?) OR ..." for the keys; the column is ours, never a client's.
void restrictTo(Condition& where, std::string_view column, const std::vector<ToolAnd>& keys) {
  std::string any = "(";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    any += std::string(i ? " OR " : "") + "(model = ? AND " + std::string(column) + " = ?)";
    where.parameters.emplace_back(keys[i].first);
    where.parameters.emplace_back(keys[i].second);
  }
  where.add(any + ")");
}

std::vector<std::pair<ToolAnd, std::int64_t>> countsBy(SqlConnection& sql, std::string_view table,
                                                      std::string_view column, Condition where,
                                                      const std::vector<ToolAnd>& keys) {
  std::vector<std::pair<ToolAnd, std::int64_t>> counts;
  if (keys.empty()) return counts;
  restrictTo(where, column, keys);
  for (const Row& row : sql.run("SELECT model, " + std::string(column) + ", COUNT(*) FROM " + std::string(table) +
                                    where.sql + " GROUP BY model, " + std::string(column),
                                where.parameters)
                            .rows) {
    counts.push_back({{textAt(row, 0), textAt(row, 1)}, integerAt(row, 2)});
  }
  return counts;
}

}  // namespace

LevelCounts DashboardQueries::satisfactionLevels(const Scope& scope) {
  LevelCounts counts;
  if (!sql_) return counts;
  const Condition where = within(scope, "received_ms");
  for (const Row& row : sql_->run("SELECT " + std::string(kAnswerLevel) + " AS answer, COUNT(*) FROM satisfaction" +
                                      where.sql + " GROUP BY answer",
                                  where.parameters)
                            .rows) {
    count(counts, integerAt(row, 0), integerAt(row, 1));
  }
  return counts;
}

std::vector<std::pair<ToolAnd, LevelCounts>> DashboardQueries::satisfactionLevelsBy(const Scope& scope,
                                                                                    std::string_view column,
                                                                                    const std::vector<ToolAnd>& keys) {
  std::vector<std::pair<ToolAnd, LevelCounts>> result;
  if (!sql_ || keys.empty() || (column != "function" && column != "version")) return result;
  Condition where = within(scope, "received_ms");
  restrictTo(where, column, keys);
  for (const Row& row : sql_->run("SELECT model, " + std::string(column) + ", " + std::string(kAnswerLevel) +
                                      " AS answer, COUNT(*) FROM satisfaction" + where.sql + " GROUP BY model, " +
                                      std::string(column) + ", answer",
                                  where.parameters)
                            .rows) {
    const ToolAnd key{textAt(row, 0), textAt(row, 1)};
    auto found = std::find_if(result.begin(), result.end(), [&](const auto& entry) { return entry.first == key; });
    if (found == result.end()) found = result.insert(result.end(), {key, LevelCounts{}});
    count(found->second, integerAt(row, 2), integerAt(row, 3));
  }
  return result;
}

std::vector<VersionRow> DashboardQueries::versions(const Scope& scope, std::size_t offset, std::size_t limit) {
  std::vector<VersionRow> rows;
  if (!sql_) return rows;
  Condition where = within(scope, "entered_ms");
  where.parameters.emplace_back(limitValue(limit));
  where.parameters.emplace_back(limitValue(offset));
  for (const Row& row : sql_->run("SELECT model, version, COUNT(*), COUNT(DISTINCT uin) FROM sessions" + where.sql +
                                      " GROUP BY model, version ORDER BY 3 DESC, 1, 2 LIMIT ? OFFSET ?",
                                  where.parameters)
                            .rows) {
    rows.push_back({textAt(row, 0), textAt(row, 1), integerAt(row, 2), integerAt(row, 3), std::nullopt});
  }
  for (VersionRow& version : rows) {
    const SqlResult first =
        sql_->run("SELECT MIN(entered_ms) FROM sessions WHERE model = ? AND version = ?", {version.model, version.version});
    if (!first.rows.empty() && first.rows[0].at(0)) version.firstSeenMillis = integerAt(first.rows[0], 0);
  }
  return rows;
}

std::vector<std::pair<ToolAnd, std::int64_t>> DashboardQueries::sessionsByVersion(const Scope& scope,
                                                                                  const std::vector<ToolAnd>& keys) {
  if (!sql_) return {};
  return countsBy(*sql_, "sessions", "version", within(scope, "entered_ms"), keys);
}

std::vector<std::pair<ToolAnd, std::int64_t>> DashboardQueries::logLinesByVersion(const Scope& scope,
                                                                                  std::int32_t level,
                                                                                  const std::vector<ToolAnd>& keys) {
  if (!sql_) return {};
  Condition where = within(scope, "received_ms");
  where.add("level = ?", std::int64_t{level});
  return countsBy(*sql_, "log_lines", "version", std::move(where), keys);
}

std::vector<std::pair<std::int32_t, std::int64_t>> DashboardQueries::logLevelCounts(const Scope& scope) {
  std::vector<std::pair<std::int32_t, std::int64_t>> counts;
  if (!sql_) return counts;
  Condition where = within(scope, "received_ms");
  // Clients choose the levels: many distinct ones must not mean many rows.
  std::vector<SqlValue> parameters{std::int64_t{kLowestNamedLogLevel}, std::int64_t{kHighestNamedLogLevel},
                                   std::int64_t{kOtherLogLevels}};
  parameters.insert(parameters.end(), where.parameters.begin(), where.parameters.end());
  for (const Row& row : sql_->run("SELECT CASE WHEN level BETWEEN ? AND ? THEN level ELSE ? END AS named, COUNT(*) "
                                  "FROM log_lines" +
                                      where.sql + " GROUP BY named ORDER BY named",
                                  parameters)
                            .rows) {
    counts.emplace_back(static_cast<std::int32_t>(integerAt(row, 0)), integerAt(row, 1));
  }
  return counts;
}

std::int64_t DashboardQueries::logLineCount(const Scope& scope, std::int32_t level) {
  if (!sql_) return 0;
  Condition where = within(scope, "received_ms");
  where.add("level = ?", std::int64_t{level});
  return integerAt(sql_->run("SELECT COUNT(*) FROM log_lines" + where.sql, where.parameters).rows.at(0), 0);
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
