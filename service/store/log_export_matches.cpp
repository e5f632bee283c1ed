// The lines a log export with a search term holds, listed once through the
// text index and then read by id, so that a rare term's export does not scan
// the range for every piece.
#include <algorithm>

#include "store/dashboard_queries.h"
#include "store/line_times.h"
#include "store/log_search_pages.h"
#include "store/query_helpers.h"
#include "store/short_term_search.h"
#include "store/text_blocks.h"
#include "store/text_search.h"
#include "store/tool_log_reads.h"

namespace zandle::service {
namespace {

using namespace query;

// PostgreSQL: the range's first and last lines, where a common term's lines
// turn up at once; the trigram index would read every line holding it. The
// list is stopped after kListMilliseconds for a term common only in between,
// or common elsewhere than in the tool or level exported: the export's first
// read then comes from the blocks (a second before it, on a term in one line
// of thirty: 1.0 to 1.3 s to the first byte). 120 ms ran out for a rare term's
// list on a busy machine, whose export then took 2.5 s to its first byte.
constexpr std::int64_t kProbeLines = 2'048;
constexpr std::int64_t kCommonInProbe = 32;
// A tool's term listed from the trigram index keyed by tool costs what the
// tool's own lines holding it cost, and a walk of its lines reads every one
// of them: only a term in one of its lines in 32 is walked (one in 64,
// 351,000 lines with 5,500 of them: 2,000 rows a second, 3 s in all; one in
// eight, 41,000 of them, ran the list's time out). The walk of one of its
// levels reads every line of the tool too: only one in eight of the level's.
constexpr std::int64_t kCommonInToolsProbe = 64;
constexpr std::int64_t kCommonInToolLevelsProbe = 256;
constexpr std::int64_t kListMilliseconds = 400;
// One level's lines are listed from the blocks that may hold them when these
// are at most so many, else from the trigram index.
constexpr std::size_t kMostListedBlocks = 64;

bool earlier(const RowPosition& a, const RowPosition& b) {
  return a.millis != b.millis ? a.millis < b.millis : a.id < b.id;
}

// The (time, id) of the filter's lines past the text index's mark (a few at
// most), read by id; the first `limit`, or (ordered) the oldest. "+" keeps
// the order from leading SQLite to the index by time, over the whole range.
SqlResult positionsPastMark(SqlConnection& sql, const LogFilter& filter, std::int64_t indexedUpTo,
                            std::int64_t limit, bool ordered) {
  Condition past;
  past.add("l.id > ?", indexedUpTo);
  past = searchCondition(filter, std::move(past), true);
  past.parameters.emplace_back(limit);
  return sql.run("SELECT l.received_ms, l.id FROM log_lines AS l" + past.sql +
                     (ordered ? " ORDER BY +l.received_ms, +l.id LIMIT ?" : " LIMIT ?"),
                 past.parameters);
}

// Appends the (time, id) of each row; false when there are more than `most` in all.
bool addPositions(std::vector<RowPosition>& positions, const std::optional<SqlResult>& rows, std::int64_t most) {
  if (!rows) return false;
  for (const Row& row : rows->rows) positions.push_back({integerAt(row, 0), integerAt(row, 1)});
  return static_cast<std::int64_t>(positions.size()) <= most;
}

// PostgreSQL: whether the term is in at least `common` of the range's
// first (or last) kProbeLines lines of the export's tool and level, which its
// reads walk too: a level's through its index, a tool's through the side
// table by tool. Without parallel workers, which take longer to start than
// such a read takes (15 ms against 58).
bool commonAtAnEnd(SqlConnection& sql, const LogFilter& filter, std::int64_t indexedUpTo, bool last,
                   std::int64_t common) {
  const bool byTool = filter.scope.model.has_value();
  const bool levelFirst = !byTool && filter.level;
  const std::string k = byTool ? "b." : "t.";
  Condition first = sideTextCondition(filter, indexedUpTo, k, false, levelFirst);
  first.parameters.emplace_back(kProbeLines);
  first.parameters.emplace_back(containsPattern(*filter.search));
  const std::string direction = last ? " DESC" : "";
  const std::optional<SqlResult> count = sql.runWithin(
      "SELECT COUNT(*) FROM (SELECT t.text FROM " +
          std::string(byTool ? "log_lines_by_tool AS b JOIN log_lines_text AS t ON t.id = b.id"
                             : "log_lines_text AS t") +
          first.sql + " ORDER BY " + (levelFirst ? "t.level" + direction + ", " : std::string()) + k +
          "received_ms" + direction + ", " + k + "id" + direction +
          " LIMIT ?) AS w WHERE w.text LIKE lower(?) ESCAPE '\\'",
      first.parameters, 0, "max_parallel_workers_per_gather = 0");
  return count && integerAt(count->rows.at(0), 0) >= common;
}

}  // namespace

std::optional<std::vector<RowPosition>> DashboardQueries::logMatches(const LogFilter& filter) {
  if (!sql_ || !filter.search || filter.search->empty()) return std::nullopt;
  const std::optional<std::string> phrase = trigramPhrase(*filter.search);
  if (!phrase) return std::nullopt;
  const std::optional<TextIndexRead> index = textIndexFor(*sql_, filter.level, filter.scope.model.has_value());
  if (!index) return std::nullopt;
  const std::int64_t indexedUpTo = index->indexedUpTo;
  std::vector<RowPosition> positions;
  // A term with more is common enough for the export to filter the range as it reads.
  const std::int64_t most = mostListedMatches_;
  if (sql_->dialect() == SqlDialect::Sqlite) {
    // FTS has no times: the term's candidates in the whole store, so only a term with few.
    if (!fewCandidates(*sql_, *index, *phrase, most)) return std::nullopt;
    const std::string candidates = candidatesUpTo(*index);
    Condition where;
    where.parameters = {*phrase, indexedUpTo};
    where = searchCondition(filter, std::move(where));
    // CROSS JOIN keeps the candidates the outer loop.
    addPositions(positions,
                 sql_->run("SELECT l.received_ms, l.id FROM (" + candidates +
                               ") AS c CROSS JOIN log_lines AS l ON l.id = c.rowid" + where.sql,
                           where.parameters),
                 most);  // no more than the candidates counted
  } else {
    // A tool with few enough lines in the range to be walked whole has them
    // walked by the export, where a term common in other tools runs the list's
    // time out (a term rare everywhere is read from its blocks at first),
    // unless the trigram index lists the tool's lines alone.
    if (!index->keyed && toolLinesAtMost(*sql_, filter, mostToolLinesWalked_)) return std::nullopt;
    // Common among the first lines, the export finds it at once; among the
    // last only, its first lines come from the blocks that may hold it.
    const std::int64_t common = !index->keyed || !filter.scope.model ? kCommonInProbe
                                : filter.level                       ? kCommonInToolLevelsProbe
                                                                     : kCommonInToolsProbe;
    if (commonAtAnEnd(*sql_, filter, indexedUpTo, false, common) ||
        commonAtAnEnd(*sql_, filter, indexedUpTo, true, common)) {
      return std::nullopt;
    }
    // The trigram index gives the lines of every level holding the term (a
    // burst of another level's), the blocks only those of blocks holding the
    // level: a level without an index of its own is listed from them when few.
    std::optional<std::vector<RowPosition>> listed;
    if (filter.level && !index->ownLevelIndex && !index->keyed) {
      listed = firstBlockPositions(*sql_, filter, indexedUpTo, static_cast<std::size_t>(most) + 1, kMostListedBlocks);
    }
    if (listed) {
      positions = std::move(*listed);
      if (static_cast<std::int64_t>(positions.size()) > most) return std::nullopt;
    } else {
      // The side table of lowered texts holds each line's time, tool and level;
      // "+ 0" keeps the search on the trigram index.
      Condition where = sideTextCondition(filter, indexedUpTo, "t.", true, false, index->ownLevelIndex, index->keyed);
      where.add("t.text LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
      where.parameters.emplace_back(most + 1);
      const std::string sql = "SELECT t.received_ms, t.id FROM log_lines_text AS t" + where.sql + " LIMIT ?";
      if (!addPositions(positions, sql_->runWithin(sql, where.parameters, kListMilliseconds), most)) {
        return std::nullopt;
      }
    }
  }
  const SqlResult past =
      positionsPastMark(*sql_, filter, indexedUpTo, most + 1 - static_cast<std::int64_t>(positions.size()), false);
  if (!addPositions(positions, past, most)) return std::nullopt;
  std::sort(positions.begin(), positions.end(), earlier);
  return positions;
}

std::optional<std::vector<RowPosition>> DashboardQueries::firstSearchPositions(const LogFilter& filter,
                                                                              std::size_t limit,
                                                                              std::size_t mostBlocks,
                                                                              std::int64_t milliseconds) {
  const std::optional<std::string> phrase = trigramPhrase(*filter.search);
  const bool sqlite = sql_->dialect() == SqlDialect::Sqlite;
  // SQLite's blocks of a term too short for the text index reach the newest
  // line; those of a longer term know no pieces, only the index's candidates.
  if (sqlite && !phrase) return firstShortTermPositions(*sql_, filter, limit, mostBlocks);
  const std::optional<std::int64_t> indexedUpTo = textIndexedUpTo(*sql_);
  if (!indexedUpTo) return std::nullopt;
  std::optional<std::vector<RowPosition>> first =
      sqlite ? firstIndexedPositions(*sql_, filter, *phrase, *indexedUpTo, limit, milliseconds)
             : firstBlockPositions(*sql_, filter, *indexedUpTo, limit, phrase ? 0 : mostBlocks, milliseconds);
  if (!first) return std::nullopt;
  addPositions(*first, positionsPastMark(*sql_, filter, *indexedUpTo, limitValue(limit), true), INT64_MAX);
  std::sort(first->begin(), first->end(), earlier);
  if (first->size() > limit) first->resize(limit);
  return first;
}

std::vector<StoredLogLine> DashboardQueries::logLinesAmong(const std::vector<RowPosition>& matches, RowPosition after,
                                                           std::size_t limit) {
  std::vector<StoredLogLine> lines;
  if (!sql_) return lines;
  auto next = std::upper_bound(matches.begin(), matches.end(), after, earlier);
  // Lines removed since they were listed are left out, and the next ones read instead.
  while (lines.size() < limit && next != matches.end()) {
    const std::size_t taken = std::min(limit - lines.size(), static_cast<std::size_t>(matches.end() - next));
    const auto end = next + static_cast<std::ptrdiff_t>(taken);
    std::vector<std::int64_t> ids;
    for (auto it = next; it != end; ++it) ids.push_back(it->id);
    for (const Row& row : linesWithIds(*sql_, ids, std::nullopt).rows) {
      lines.push_back({integerAt(row, 0), lineFrom(row)});
    }
    next = end;
  }
  return lines;
}

}  // namespace zandle::service
