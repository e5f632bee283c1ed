#include "store/dashboard_queries.h"

#include "store/query_helpers.h"

namespace zandle::service {
using namespace query;

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
  Condition where = after(scope, "entered_ms", position);
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
  Condition where = after(scope, "received_ms", position);
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

}  // namespace zandle::service
