#include "dashboard/access_records.h"

#include "store/query_helpers.h"
#include "store/sql_connection.h"

#include <algorithm>

namespace zandle::service {

using query::integerAt;
using query::Row;
using query::textAt;

void SqlAccessRecords::saveSession(const DashboardSession& session, std::int64_t) {
  sql_.run("INSERT INTO dashboard_sessions (id, csrf, expires_ms, time_zone) VALUES (?, ?, ?, ?)",
           {session.id, session.csrf, session.expiresMillis, session.timeZone});
}

std::optional<DashboardSession> SqlAccessRecords::findSession(std::string_view id, std::int64_t nowMillis) {
  const SqlResult found = sql_.run(
      "SELECT csrf, expires_ms, time_zone FROM dashboard_sessions WHERE id = ? AND expires_ms > ?",
      {std::string(id), nowMillis});
  if (found.rows.empty()) return std::nullopt;
  const Row& row = found.rows.front();
  return DashboardSession{std::string(id), textAt(row, 0), integerAt(row, 1), textAt(row, 2)};
}

void SqlAccessRecords::closeSession(std::string_view id) {
  sql_.run("DELETE FROM dashboard_sessions WHERE id = ?", {std::string(id)});
}

void SqlAccessRecords::setTimeZone(std::string_view id, std::string_view zone) {
  sql_.run("UPDATE dashboard_sessions SET time_zone = ? WHERE id = ?", {std::string(zone), std::string(id)});
}

std::int64_t SqlAccessRecords::lockedFor(const std::string& key, std::int64_t nowMillis) {
  const SqlResult found = sql_.run("SELECT locked_until_ms FROM sign_in_failures WHERE address = ?", {key});
  if (found.rows.empty()) return 0;
  return std::max<std::int64_t>(0, integerAt(found.rows.front(), 0) - nowMillis);
}

// One statement counts, so instances counting at once lose no failure; one
// more decides the lockout, so only one of them logs it.
bool SqlAccessRecords::recordFailure(const std::string& key, std::int64_t nowMillis) {
  const std::int64_t windowStart = nowMillis - throttle_.windowMillis;
  const SqlResult counted = sql_.run(
      "INSERT INTO sign_in_failures (address, window_start_ms, failures, locked_until_ms) VALUES (?, ?, 1, 0) "
      "ON CONFLICT (address) DO UPDATE SET "
      "failures = CASE WHEN sign_in_failures.window_start_ms <= ? THEN 1 ELSE sign_in_failures.failures + 1 END, "
      "window_start_ms = CASE WHEN sign_in_failures.window_start_ms <= ? THEN ? "
      "ELSE sign_in_failures.window_start_ms END "
      "RETURNING failures",
      {key, nowMillis, windowStart, windowStart, nowMillis});
  if (counted.rows.empty() || integerAt(counted.rows.front(), 0) < throttle_.allowedFailures) return false;
  return sql_.run("UPDATE sign_in_failures SET locked_until_ms = ?, failures = 0, window_start_ms = ? "
                  "WHERE address = ? AND locked_until_ms <= ?",
                  {nowMillis + throttle_.windowMillis, nowMillis, key, nowMillis})
             .changedRows > 0;
}

void SqlAccessRecords::prune(std::int64_t nowMillis) {
  sql_.run("DELETE FROM dashboard_sessions WHERE expires_ms <= ?", {nowMillis});
  sql_.run("DELETE FROM sign_in_failures WHERE locked_until_ms <= ? AND window_start_ms <= ?",
           {nowMillis, nowMillis - throttle_.windowMillis});
}

}  // namespace zandle::service
