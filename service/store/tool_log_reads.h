// A tool's log lines read from the side table by tool (lines up to its mark)
// and from log_lines by id (the lines past it), merged (see tool_index.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "store/dashboard_queries.h"
#include "store/sql_connection.h"

namespace zandle::service {

// Rows as "l.id, l.uin, l.level, l.model, l.version, <text>, l.received_ms,
// l.address", the text cut after `textChars` characters (and one) or whole.
// Nothing when the filter names no tool or the side table lags too far.

// A read of one level or term walks all of the tool's lines in the range
// when they are at most `mostWalked`, else walks some and lets the database
// choose; with `walkOnly` it gives nothing instead (a common tool's rare term,
// which the text index serves).
struct ToolWalk {
  std::int64_t mostWalked = 0;
  bool walkOnly = false;
};
// Lines of a tool walked whole before the text index is tried: each line is
// looked up (some 7 microseconds on PostgreSQL).
inline constexpr std::int64_t kToolLinesBeforeIndex = 8'192;

// Newest first, from `offset`.
std::optional<SqlResult> toolLogPage(SqlConnection& sql, const LogFilter& filter, std::size_t offset,
                                     std::size_t limit, std::optional<std::size_t> textChars, ToolWalk walk);
// Oldest first, from the row after `after`.
std::optional<SqlResult> toolLogLines(SqlConnection& sql, const LogFilter& filter, RowPosition after,
                                      std::size_t limit, std::int64_t mostWalked);

// Whether the filter's tool has at most `most` lines in its range up to the
// side table's mark; false when the filter names no tool or the table lags.
bool toolLinesAtMost(SqlConnection& sql, const LogFilter& filter, std::int64_t most);

}  // namespace zandle::service
