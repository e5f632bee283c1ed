#include "store/dashboard_queries.h"

#include "store/query_helpers.h"

namespace zandle::service {
using namespace query;

SessionFigures DashboardQueries::sessionFigures(const Scope& scope) {
  SessionFigures figures;
  if (!sql_) return figures;
  Condition where = within(scope, "entered_ms");
  const SqlResult counts =
      sql_->run("SELECT COUNT(*), COUNT(DISTINCT uin), COUNT(left_ms) FROM sessions" + where.sql, where.parameters);
  figures.sessions = integerAt(counts.rows.at(0), 0);
  figures.users = integerAt(counts.rows.at(0), 1);
  figures.closed = integerAt(counts.rows.at(0), 2);
  if (figures.closed == 0) return figures;
  // The middle one or two, sorted by the database. Clocks of several
  // instances may disagree a little, so a negative length counts as none.
  where.parameters.emplace_back((figures.closed - 1) / 2);
  const SqlResult middle = sql_->run(
      "SELECT CASE WHEN left_ms > entered_ms THEN left_ms - entered_ms ELSE 0 END AS span_ms FROM sessions" +
          where.sql + " AND left_ms IS NOT NULL ORDER BY span_ms LIMIT 2 OFFSET ?",
      where.parameters);
  if (middle.rows.empty()) return figures;
  const std::int64_t lower = integerAt(middle.rows[0], 0);
  const bool even = figures.closed % 2 == 0 && middle.rows.size() > 1;
  figures.medianMillis = even ? lower + (integerAt(middle.rows[1], 0) - lower) / 2 : lower;
  return figures;
}

std::int64_t DashboardQueries::openSessions(const std::optional<std::string>& model) {
  if (!sql_) return 0;
  Condition where;
  where.add("left_ms IS NULL");
  if (model) where.add("model = ?", *model);
  return integerAt(sql_->run("SELECT COUNT(*) FROM sessions" + where.sql, where.parameters).rows.at(0), 0);
}

std::vector<StoredSession> DashboardQueries::sessions(const Scope& scope, RowPosition position, std::size_t limit) {
  std::vector<StoredSession> sessions;
  if (!sql_) return sessions;
  Condition where = within(scope, "entered_ms");
  after(where, "entered_ms", position);
  where.parameters.emplace_back(limitValue(limit));
  for (const Row& row : sql_->run("SELECT id, uin, model, extra, version, entered_ms, enter_address, left_ms, "
                                  "leave_address, login_detail_id FROM sessions" +
                                      where.sql + " ORDER BY entered_ms, id LIMIT ?",
                                  where.parameters)
                            .rows) {
    StoredSession& session = sessions.emplace_back();
    session.id = integerAt(row, 0);
    session.uin = static_cast<std::int32_t>(integerAt(row, 1));
    session.model = textAt(row, 2);
    session.extra = row.at(3);
    session.version = textAt(row, 4);
    session.entered = {integerAt(row, 5), textAt(row, 6)};
    if (row.at(7)) session.left = Arrival{integerAt(row, 7), textAt(row, 8)};
    session.loginDetailId = static_cast<std::int32_t>(integerAt(row, 9));
  }
  return sessions;
}

std::vector<StoredSatisfaction> DashboardQueries::satisfactionReports(const Scope& scope, RowPosition position,
                                                                      std::size_t limit) {
  std::vector<StoredSatisfaction> reports;
  if (!sql_) return reports;
  Condition where = within(scope, "received_ms");
  after(where, "received_ms", position);
  where.parameters.emplace_back(limitValue(limit));
  for (const Row& row : sql_->run("SELECT id, uin, level, model, version, function, satis_info, received_ms, "
                                  "address FROM satisfaction" +
                                      where.sql + " ORDER BY received_ms, id LIMIT ?",
                                  where.parameters)
                            .rows) {
    StoredSatisfaction& stored = reports.emplace_back();
    stored.id = integerAt(row, 0);
    stored.report.uin = static_cast<std::int32_t>(integerAt(row, 1));
    stored.report.level = static_cast<std::int32_t>(integerAt(row, 2));
    stored.report.model = textAt(row, 3);
    stored.report.version = textAt(row, 4);
    stored.report.function = textAt(row, 5);
    stored.report.satisInfo = textAt(row, 6);
    stored.report.arrival = {integerAt(row, 7), textAt(row, 8)};
  }
  return reports;
}

std::vector<FunctionRow> DashboardQueries::functions(const Scope& scope, std::size_t offset, std::size_t limit) {
  std::vector<FunctionRow> rows;
  if (!sql_) return rows;
  Condition where = within(scope, "received_ms");
  where.parameters.emplace_back(limitValue(limit));
  where.parameters.emplace_back(limitValue(offset));
  for (const Row& row : sql_->run("SELECT model, function, COUNT(*), SUM(CASE WHEN level = 1 THEN 1 ELSE 0 END), "
                                  "SUM(CASE WHEN level = 2 THEN 1 ELSE 0 END), "
                                  "SUM(CASE WHEN level = 3 THEN 1 ELSE 0 END) FROM satisfaction" +
                                      where.sql + " GROUP BY model, function ORDER BY 3 DESC, 1, 2 LIMIT ? OFFSET ?",
                                  where.parameters)
                            .rows) {
    FunctionRow& function = rows.emplace_back();
    function.model = textAt(row, 0);
    function.function = textAt(row, 1);
    function.answers = integerAt(row, 2);
    std::int64_t counted = 0;
    for (std::size_t level = 0; level < function.levels.size(); ++level) {
      function.levels[level] = integerAt(row, 3 + level);
      counted += function.levels[level];
    }
    function.otherLevels = function.answers - counted;
  }
  return rows;
}

}  // namespace zandle::service
