// Searches of a term too short for the text index (fewer than three
// characters): the blocks of line ids whose filters say they may hold it
// are read, newest (or, for an export, earliest) first, instead of every
// line of the range. Both keep the search's own LIKE: no result changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "store/dashboard_queries.h"
#include "store/sql_connection.h"

namespace zandle::service {

// The page, as logPage's other ways give it; a tool with at most
// `mostToolLinesWalked` lines in the range is walked whole. Nothing when the
// blocks cannot serve the search.
std::optional<SqlResult> shortTermPage(SqlConnection& sql, const LogFilter& filter, std::size_t offset,
                                       std::size_t limit, std::size_t textChars, std::int64_t mostToolLinesWalked);

// SQLite: the positions of an export's first `limit` lines, oldest first;
// nothing when more than `mostBlocks` (0: any number) may hold them.
std::optional<std::vector<RowPosition>> firstShortTermPositions(SqlConnection& sql, const LogFilter& filter,
                                                                std::size_t limit, std::size_t mostBlocks);

}  // namespace zandle::service
