// A page of log lines with a search term, read through the text index on
// either store, and what those reads share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/dashboard_queries.h"
#include "store/query_helpers.h"
#include "store/text_search.h"

namespace zandle::service {

// The page's rows, newest first (by level first when asked): `from` names the
// rows (log_lines as l), `where` their condition.
SqlResult pageRows(SqlConnection& sql, const std::string& from, const query::Condition& where, std::size_t offset,
                   std::size_t limit, std::size_t textChars, bool levelFirst = false);

// Adds `more` to the rows, newest first, and keeps the page: `wanted` rows
// from the top, less the `offset` first.
void mergeIntoPage(SqlResult& rows, const SqlResult& more, std::size_t offset, std::size_t wanted);

// The lines with `ids`, in that order, their texts cut after `textChars` (and
// one) or whole. Lines removed meanwhile are left out.
SqlResult linesWithIds(SqlConnection& sql, const std::vector<std::int64_t>& ids, std::optional<std::size_t> textChars);

// SQLite: the page of a search for `phrase` (trigramPhrase) through the index.
SqlResult sqliteIndexedSearch(SqlConnection& sql, const LogFilter& filter, const std::string& phrase,
                              const TextIndexRead& index, std::size_t offset, std::size_t limit, std::size_t textChars,
                              std::int64_t newerLinesWalked);

// SQLite: whether such a search reads at most `most` of the index's candidates.
bool sqliteFewCandidates(SqlConnection& sql, const LogFilter& filter, const std::string& phrase,
                         const TextIndexRead& index, std::int64_t most);

// PostgreSQL: the page of a search through the side table, trying `tries` in turn.
SqlResult postgresIndexedSearch(SqlConnection& sql, const LogFilter& filter, const TextIndexRead& index,
                                std::size_t offset, std::size_t limit, std::size_t textChars,
                                const std::vector<SearchTry>& tries);

// PostgreSQL: the page of a term too short for the trigram index, from the
// newest lines (unless `newestWalked` already) or the blocks that may hold it;
// nothing when they cannot serve (or more than `mostBlocks`, 0: any number, may hold it).
std::optional<SqlResult> postgresShortTermSearch(SqlConnection& sql, const LogFilter& filter, std::size_t offset,
                                                 std::size_t limit, std::size_t textChars, std::size_t mostBlocks = 0,
                                                 bool newestWalked = false);

}  // namespace zandle::service
