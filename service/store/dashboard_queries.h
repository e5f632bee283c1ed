// Reads behind the dashboard and the exports. Every list comes back a page at
// a time, so whatever clients have sent, an answer and its memory stay small.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/records.h"
#include "store/sql_connection.h"

namespace zandle::service {

// A time range, and one tool or every tool.
struct Scope {
  TimeRange range;
  std::optional<std::string> model;
};

struct SessionFigures {
  std::int64_t sessions = 0;
  std::int64_t users = 0;   // distinct UINs
  std::int64_t closed = 0;  // sessions with a UserLeave
  std::optional<std::int64_t> medianMillis;
};

class DashboardQueries {
 public:
  // Without a connection ("--store none") every answer is empty.
  explicit DashboardQueries(SqlConnection* sql) : sql_(sql) {}

  // Sessions that began in the scope.
  SessionFigures sessionFigures(const Scope& scope);
  std::int64_t openSessions(const std::optional<std::string>& model);
  // Oldest first, from the id after `afterId`.
  std::vector<StoredSession> sessions(const Scope& scope, std::int64_t afterId, std::size_t limit);
  std::vector<StoredSatisfaction> satisfactionReports(const Scope& scope, std::int64_t afterId, std::size_t limit);

 private:
  SqlConnection* sql_;
};

}  // namespace zandle::service
