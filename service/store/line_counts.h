// Log lines reach the tallies after they are stored, thousands at a time,
// beside the side table by tool: counted with each batch, lines of many
// tools rewrote a tally row per tool per batch, the most of a write's cost.
// The lines past the mark (tally_lines.done_id) are counted by the reads
// themselves, straight from log_lines and in the same statement as the
// tallies, so a page counts each line once whatever commits meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "store/sql_connection.h"
#include "store/tallies.h"

namespace zandle::service {

// The half hour a line's time falls in, as SQL (times before 1970 too).
std::string slotOf(const std::string& millis);

// The lines no tally counts yet, a FROM clause's table and WHERE, for a read
// in one statement with the tallies. Its parameter is the mark as read before
// (linesCountedThrough), so that the planner sees how few lines are past it;
// the mark the statement itself reads, moved on meanwhile or not, decides.
inline constexpr const char* kUncountedLines = "log_lines WHERE id > ? AND id > (SELECT done_id FROM tally_lines)";

// SUM expressions of a level's lines per level column (see tallies.h), in order.
std::string levelSums();

// Counts the next lines past the mark, up to `batchRows`, into `tallies` and
// moves the mark; the caller flushes and commits, in the transaction and
// lock the side table by tool is filled under. False when none were left.
bool countNewLines(SqlConnection& sql, Tallies& tallies, std::int64_t batchRows);

// The last line id the tallies count: every id in a store from before the
// mark, which counted each line as it came. Moves only under the lock of
// countNewLines, so a removal reads it once.
std::int64_t linesCountedThrough(SqlConnection& sql);

}  // namespace zandle::service
