// Reads behind the dashboard and the exports. Every list comes back a page at
// a time, so whatever clients have sent, an answer and its memory stay small.
#pragma once

#include <array>
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

// Satisfaction answers for one function of one tool.
struct FunctionRow {
  std::string model;
  std::string function;
  std::int64_t answers = 0;
  std::array<std::int64_t, 3> levels{};  // 1 满意, 2 一般, 3 不满意
  std::int64_t otherLevels = 0;
};

struct LogFilter {
  Scope scope;
  std::optional<std::int32_t> level;
  std::optional<std::string> search;  // found anywhere in the text, ignoring ASCII case
};

struct LogRow {
  StoredLogLine stored;
  bool textCut = false;  // the text goes on past what was read
};

struct ToolRow {
  std::string model;
  std::string lastVersion;
  std::optional<std::int64_t> firstSeenMillis;
  std::optional<std::int64_t> lastSeenMillis;
  bool configured = false;
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
  // Most answered first.
  std::vector<FunctionRow> functions(const Scope& scope, std::size_t offset, std::size_t limit);

  // Newest first, each text cut after `textChars` characters.
  std::vector<LogRow> logPage(const LogFilter& filter, std::size_t offset, std::size_t limit, std::size_t textChars);
  std::optional<StoredLogLine> logLine(std::int64_t id);
  // Oldest first, whole texts, from the id after `afterId`.
  std::vector<StoredLogLine> logLines(const LogFilter& filter, std::int64_t afterId, std::size_t limit);

  // Configured tools first, then the most recently seen.
  std::vector<ToolRow> tools(const std::optional<std::string>& search, std::size_t offset, std::size_t limit);
  // By name, from the one after `afterModel` (all when nothing).
  std::vector<ToolConfig> toolConfigs(const std::optional<std::string>& afterModel, std::size_t limit);

 private:
  SqlConnection* sql_;
};

}  // namespace zandle::service
