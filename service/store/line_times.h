// SQLite: the latest and earliest times among each block of 1,024 line ids,
// their levels and a filter of their texts' short pieces (piece_filters.h),
// kept past a mark as the text index is. Lines arrive about, not exactly, in id order, by
// no bound a search could assume; these blocks tell how far a walk of the
// text index, newest id first, must still look below the ids it has walked:
// a common term behind a burst of newer lines without it then costs no walk
// through the burst; and where an export's first lines of a term found late
// in its range may be. Removals leave a block's times bounds, and drop the
// blocks they leave without lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/dashboard_queries.h"
#include "store/id_runs.h"
#include "store/sql_connection.h"

namespace zandle::service {

// Adds the lines past the mark, up to `batchRows`, to their blocks and moves
// the mark; in the caller's transaction. False when none were left (or on
// PostgreSQL, which keeps no blocks).
bool indexLineTimes(SqlConnection& sql, std::int64_t batchRows);

// Drops the blocks below the first line left (retention removes the oldest):
// the table grows with the lines kept, not with every line ever written.
void forgetEmptyLineBlocks(SqlConnection& sql);

// Where the lines below id `below` that may be newer than `after` lie.
struct NewerBelow {
  // Runs of ids (first, last), oldest first: blocks with a later time and
  // ids past the mark; one run of them all when the store keeps no blocks
  // or the runs are many. None: no line below can be newer.
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;
  // No line below is newer; unknown while lines below are past the mark.
  std::optional<std::int64_t> latest;
};
// Blocks without a line of `level` are left out.
NewerBelow newerBelow(SqlConnection& sql, std::int64_t after, std::int64_t below, std::optional<std::int32_t> level);

// The ids up to `upTo` that may hold a line of `level` in the range, as runs
// (first, last), oldest first: neighbouring blocks holding one, and the ids
// past the mark. A burst of another level's lines is left out. Nothing when
// the store keeps no blocks or the runs are many.
std::optional<std::vector<std::pair<std::int64_t, std::int64_t>>> levelRuns(SqlConnection& sql, std::int32_t level,
                                                                             const TimeRange& range,
                                                                             std::int64_t upTo);

// The blocks of ids up to `upTo` with a line in the range, as runs with their
// earliest time, earliest first (the ids past the mark first, their time
// unknown), leaving out blocks without a line of `level`. Nothing when the
// store keeps no blocks, or they lag by too many lines.
std::optional<std::vector<IdRun>> earliestFirstRuns(SqlConnection& sql, const TimeRange& range, std::int64_t upTo,
                                                    std::optional<std::int32_t> level);

// The blocks that may hold a term too short for the text index (`lowered`),
// as earliestFirstRuns gives them, or latest first with their latest times;
// the ids past the mark up to the newest line first.
std::optional<std::vector<IdRun>> shortTermRuns(SqlConnection& sql, std::string_view lowered,
                                                const TimeRange& range, std::optional<std::int32_t> level,
                                                bool newestFirst);

// The positions of a search's first `limit` lines up to line `indexedUpTo`,
// oldest first, for an export: the text index's candidates for `phrase` in
// the blocks, earliest first. Nothing when the blocks cannot serve it, or
// after `milliseconds` (0: no limit).
std::optional<std::vector<RowPosition>> firstIndexedPositions(SqlConnection& sql, const LogFilter& filter,
                                                               const std::string& phrase, std::int64_t indexedUpTo,
                                                               std::size_t limit, std::int64_t milliseconds = 0);

}  // namespace zandle::service
