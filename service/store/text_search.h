// The text index over log lines: SQLite keeps an FTS5 trigram table beside
// log_lines, PostgreSQL a side table of the lowered texts with their lines'
// time, tool and level (log_lines_text) with a pg_trgm index. A search is still
// decided by the same LIKE as without the index: the index only finds the
// candidates.
//
// Either index costs more to keep than the line itself, so it is not kept by
// the writes: the writer adds the lines past its mark when no request waits
// (PostgreSQL's indexer too, once they are many), and a search reads lines
// past the mark directly. Removals take lines out of it in their own transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/sql_connection.h"

namespace zandle::service {

// The FTS5 phrase that finds `term` as a substring (ASCII case ignored, and
// more), or nothing when the term is too short for trigrams.
std::optional<std::string> trigramPhrase(std::string_view term);

// The last line id the text index holds, when the lines past it are few
// enough to be read directly; nothing otherwise (the search then scans).
std::optional<std::int64_t> textIndexedUpTo(SqlConnection& sql);

// SQLite: the FTS5 table of every line, and errors' own (kOwnTextIndexLevel).
inline constexpr const char* kLineTextTable = "log_text";
inline constexpr const char* kErrorTextTable = "log_error_text";

// What a search of `level`'s lines reads: the last line the text index holds
// (see textIndexedUpTo); on SQLite the FTS5 table, errors' own once it is near
// the newest line; on PostgreSQL whether the level has a trigram index of its
// own, whole (one being built, or whose build was cut short, is none to the planner),
// and whether its trigram index is keyed by tool and level too (kKeyedTextIndex).
// A search of one tool's errors reads the keyed index, not errors' own.
struct TextIndexRead {
  const char* table = kLineTextTable;
  std::int64_t indexedUpTo = 0;
  bool ownLevelIndex = false;
  bool keyed = false;
};
std::optional<TextIndexRead> textIndexFor(SqlConnection& sql, std::optional<std::int32_t> level, bool oneTool);

// SQLite: a statement giving the index's candidates (rowid) for a phrase up
// to a line, its parameters in that order.
std::string candidatesUpTo(const TextIndexRead& index);

// SQLite: whether the text index holds at most `most` candidates for the
// phrase up to its line, counted no further than one more.
bool fewCandidates(SqlConnection& sql, const TextIndexRead& index, const std::string& phrase, std::int64_t most);

// SQLite: a statement giving the text index's candidates for the phrase
// (rowid) among the runs of ids (first, last), one seek of the index a run
// (none without runs); its parameters are appended to `parameters`.
std::string candidatesInRuns(const char* table, const std::string& phrase,
                             const std::vector<std::pair<std::int64_t, std::int64_t>>& runs,
                             std::vector<SqlValue>& parameters);

// Line ids past the text index's mark (0 without an index).
std::int64_t textIndexLag(SqlConnection& sql);

// Adds the next lines past the mark to the text index, up to `batchRows` (on
// SQLite fewer when they are long), and moves the mark on; the caller commits.
// False when none were left.
bool indexNewLines(SqlConnection& sql, std::int64_t batchRows);

// Errors (level 0) are what the overview searches, and few among a tool's
// lines: they have a text index of their own, so a search of them reads no
// candidate of another level (a burst of notices holding the term). SQLite:
// an FTS5 table (kErrorTextTable); PostgreSQL: a trigram index on their
// lowered texts, built with the list indexes (sql_schema.h).
inline constexpr std::int32_t kOwnTextIndexLevel = 0;
inline constexpr const char* kLevelTextIndex = "log_text_errors_trgm";

// PostgreSQL: the trigram index keyed by tool and level too (btree_gin), so a
// search of one tool or level reads only its own candidates, not every line
// holding the term. Where btree_gin is missing, the one keyed by text alone serves.
inline constexpr const char* kKeyedTextIndex = "log_text_trgm_keys";
inline constexpr const char* kTextOnlyIndex = "log_text_trgm";

// SQLite: adds errors past their own index's mark to it, among 16 ids for
// each of `batchRows` (fewer when long), and moves the mark on; the caller
// commits. False once it holds every line's.
bool indexNewErrorLines(SqlConnection& sql, std::int64_t batchRows);

// PostgreSQL: drops the trigram index on log_lines that stores from before
// the side table kept, once the side table has caught up (CONCURRENTLY,
// outside any transaction). True while it is still there.
bool retireRowTextIndex(SqlConnection& sql);

}  // namespace zandle::service
