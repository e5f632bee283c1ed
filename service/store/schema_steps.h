// Upgrade steps after the first schema, each its own function, run in order
// inside upgradeSchema's transaction and lock.
#pragma once

#include <string_view>

#include "store/sql_connection.h"

namespace zandle::service {

// Runs `statement` when the store has no index called `name`.
void addIndexIfMissing(SqlConnection& sql, const char* name, const char* statement);

// Whether the store has the table, the index, and the table the column.
// Cheap enough for reads to ask as well.
bool hasTable(SqlConnection& sql, std::string_view table);
bool hasIndex(SqlConnection& sql, std::string_view index);
bool hasColumn(SqlConnection& sql, std::string_view table, std::string_view column);

// Indexes that let every list and export read only the rows it shows: built
// here on a small store, else by buildListIndex (sql_schema.h) beside the requests.
void addListIndexes(SqlConnection& sql);

// Counts per half hour and day beside the records (see tallies.h), and where
// the counting of records stored before them has got to.
void addTallyTables(SqlConnection& sql);
// The last log line the tallies count (see line_counts.h).
void addLineCountMark(SqlConnection& sql);

// The side table of log lines by tool and its mark (see tool_index.h).
void addToolIndex(SqlConnection& sql);

// The text index log searches find their candidates by (see text_search.h).
void addTextSearch(SqlConnection& sql);

// SQLite: the latest time of each block of line ids (see line_times.h).
void addLineTimes(SqlConnection& sql);
// PostgreSQL: what each block of line ids in the text index may hold (see text_blocks.h).
void addTextBlocks(SqlConnection& sql);

}  // namespace zandle::service
