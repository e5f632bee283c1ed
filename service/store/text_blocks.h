// PostgreSQL: what each block of 1,024 line ids in the side table of lowered
// texts may hold: the earliest and latest times among its lines, their levels,
// and filters of the three-byte pieces of their texts and of their two-byte
// pieces and bytes, for terms of fewer than three bytes (see piece_filters.h). A
// search reads only the blocks that may hold every piece of its term, newest
// first, and stops once no block left can hold a line for the page: the newest
// lines of a common term behind a burst of other lines are found without the
// trigram index (which reads every line holding the term) or a walk through
// the burst; so are the first lines of an export of a term found only late
// in its range. A filter only ever says "maybe": the blocks it lets through are
// read with the search's own LIKE, so no result changes. Removed lines leave
// their pieces behind, which costs reads, not results.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/dashboard_queries.h"
#include "store/id_runs.h"
#include "store/piece_filters.h"
#include "store/sql_connection.h"

namespace zandle::service {

inline constexpr int kTextBlockBits = 10;

// Summarizes the side table's lines past the blocks' mark, up to the text
// index's mark and `batchRows` lines; false when none were left. In the
// caller's transaction.
bool summarizeTextBlocks(SqlConnection& sql, std::int64_t batchRows);

// Blocks without a line left (below the side table's first line) go.
void forgetEmptyTextBlocks(SqlConnection& sql);

// Ids a search reads for a term (lowered) up to `indexedUpTo`, as runs of ids
// and the latest (or earliest) time a line in each may have (none: unknown,
// read first), latest first (or earliest first), leaving out blocks with no
// line in the range or none of `level`. Nothing when the blocks lag the text
// index by too much.
std::optional<std::vector<IdRun>> textBlocksMayHold(SqlConnection& sql, std::string_view loweredTerm,
                                                    std::int64_t indexedUpTo, const TimeRange& range,
                                                    std::optional<std::int32_t> level, bool newestFirst);

// A search's newest `wanted` lines (as the other ways of a PostgreSQL search
// give them) read from the blocks that may hold its term, up to line
// `indexedUpTo`; nothing when the blocks cannot serve it, after
// `milliseconds` (0: no limit), or when more than `mostBlocks` (0: any
// number) may hold its term.
std::optional<SqlResult> blockSearch(SqlConnection& sql, const LogFilter& filter, std::int64_t indexedUpTo,
                                     std::size_t wanted, std::size_t textChars, std::int64_t milliseconds,
                                     std::size_t mostBlocks = 0);

// The positions of a search's first `limit` lines up to line `indexedUpTo`,
// oldest first, for an export; nothing when the blocks cannot serve it, when
// more than `mostBlocks` (0: any number) may hold its lines, or after
// `milliseconds` (0: no limit).
std::optional<std::vector<RowPosition>> firstBlockPositions(SqlConnection& sql, const LogFilter& filter,
                                                             std::int64_t indexedUpTo, std::size_t limit,
                                                             std::size_t mostBlocks = 0, std::int64_t milliseconds = 0);

}  // namespace zandle::service
