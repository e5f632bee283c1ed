// The text index over log lines: SQLite keeps an FTS5 trigram table beside
// log_lines, PostgreSQL a pg_trgm index on lower(text). A search is still
// decided by the same LIKE as without the index: the index only finds the
// candidates.
//
// SQLite's index costs more to keep than the line itself, so it is not kept
// by the writes: the writer adds the newest lines when no request waits, and
// a search reads lines past the index's mark directly. Removals take lines out
// of it in their own transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/sql_connection.h"

namespace zandle::service {

// The FTS5 phrase that finds `term` as a substring (ASCII case ignored, and
// more), or nothing when the term is too short for trigrams.
std::optional<std::string> trigramPhrase(std::string_view term);

// The last line id SQLite's text index holds, when the lines past it are few
// enough to be read directly; nothing otherwise (the search then scans).
std::optional<std::int64_t> textIndexedUpTo(SqlConnection& sql);

// Adds the next lines past the mark to SQLite's text index, up to `batchRows`
// or fewer when they are long, and moves the mark on; the caller commits.
// False when none were left.
bool indexNewLines(SqlConnection& sql, std::int64_t batchRows);

// PostgreSQL: builds the text index of a store too large to have it built at
// start, without holding writes up (CONCURRENTLY, outside any transaction).
// False once there is nothing to build.
bool buildTextIndex(SqlConnection& sql);

}  // namespace zandle::service
