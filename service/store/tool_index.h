// The log lines by tool: a side table of (model, received_ms, id), with the
// level so a tool's lines of one level are found without reading each, kept
// past a mark, as the text index is. A batch's lines would land in as many leaf
// pages of an index by tool as it has tools, each written whole at commit;
// filled tens of thousands at a time, sorted, each page is touched once.
// Reads take the lines past the mark straight from log_lines by id.
//
// PostgreSQL instances sharing a store: writes of log lines hold a shared
// lock, a fill the exclusive one, so no line below the mark is still to come.
#pragma once

#include <cstdint>
#include <optional>

#include "store/sql_connection.h"

namespace zandle::service {

// Taken shared by a transaction that adds or removes log lines (PostgreSQL).
inline constexpr std::int64_t kLogLinesLock = 7'243'111;
// Taken shared by a removal of log lines, alone by a fill of PostgreSQL's text index.
inline constexpr std::int64_t kLogTextsLock = 7'243'112;

// The last line id the side table holds, when the lines past it are few
// enough to be read directly; nothing otherwise (reads then filter log_lines).
std::optional<std::int64_t> toolIndexedUpTo(SqlConnection& sql);

// Adds the next lines past the mark, up to `batchRows`, and moves the mark;
// in the caller's transaction, which holds kLogLinesLock alone on PostgreSQL.
// False when none were left.
bool indexToolLines(SqlConnection& sql, std::int64_t batchRows);

// Whether the store still has the index by tool the side table replaces.
bool toolTimeIndexKept(SqlConnection& sql);

// Drops the index by tool the side table replaces, once the side table has
// caught up; PostgreSQL outside any transaction. True when it went.
bool retireToolTimeIndex(SqlConnection& sql);

}  // namespace zandle::service
