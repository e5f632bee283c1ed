#include "store/tool_log_reads.h"

#include <algorithm>
#include <string>

#include "store/query_helpers.h"
#include "store/tool_index.h"

namespace zandle::service {
namespace {

using namespace query;

enum class Order { NewestFirst, OldestFirst };

// Where rows come from: the side table up to the mark (its first `walk` rows
// in order when the read has conditions past the tool and time), log_lines up
// to the mark found as the database chooses, or the lines past the mark by id.
enum class Source { Side, Below, Past };

struct Read {
  const LogFilter& filter;
  const std::optional<RowPosition>& after;
  Order order;
  std::int64_t mark;
  std::optional<std::size_t> textChars;
  ToolWalk walk;
};

// The read's tool, time and position conditions on `time` and `id`.
void addRange(Condition& where, const Read& read, const std::string& time, const std::string& id) {
  // From the row after `after`, else from the range's start.
  if (read.after) {
    where.add("(" + time + ", " + id + ") > (?, ?)");
    where.parameters.insert(where.parameters.end(), {read.after->millis, read.after->id});
  } else {
    where.add(time + " >= ?", read.filter.scope.range.fromMillis);
  }
  where.add(time + " < ?", read.filter.scope.range.toMillis);
}

bool searching(const Read& read) { return read.filter.search && !read.filter.search->empty(); }

// The tool's side rows (as t) in the read's range, up to the mark.
Condition sideRowsOf(const Read& read) {
  Condition rows;
  rows.add("t.id <= ?", read.mark);
  rows.add("t.model = ?", *read.filter.scope.model);
  addRange(rows, read, "t.received_ms", "t.id");
  return rows;
}

// `walk`: the side rows taken (Side only), each line then looked up.
SqlResult sourceRows(SqlConnection& sql, Source source, const Read& read, std::size_t wanted, std::int64_t walk = 0) {
  const bool sqlite = sql.dialect() == SqlDialect::Sqlite;
  const std::string direction = read.order == Order::NewestFirst ? " DESC" : "";
  const bool levelFirst = source == Source::Below && !sqlite && read.filter.level;
  Condition where;
  if (read.textChars) where.parameters.emplace_back(limitValue(*read.textChars + 1));
  std::string from;
  if (source == Source::Side) {
    // The side table's rows in order, each line then looked up by id (CROSS JOIN keeps SQLite to that).
    Condition walked = sideRowsOf(read);
    walked.parameters.emplace_back(walk);
    // The level is checked on the side rows, before the line is looked up.
    const std::string order = " ORDER BY t.received_ms" + direction + ", t.id" + direction;
    std::string rows =
        "SELECT t.id, t.level, t.received_ms FROM log_lines_by_tool AS t" + walked.sql + order + " LIMIT ?";
    if (read.filter.level && !searching(read)) {
      // Only the page's lines looked up: SQLite sorts a join's rows, all of them, where
      // PostgreSQL keeps the walk's order and stops (6,000 lookups for a page of 64).
      rows = "SELECT t.id, t.level, t.received_ms FROM (" + rows + ") AS t WHERE t.level = ?" + order + " LIMIT ?";
      walked.parameters.insert(walked.parameters.end(), {std::int64_t{*read.filter.level}, limitValue(wanted)});
    }
    from = "(" + rows + ") AS w " + (sqlite ? "CROSS JOIN" : "JOIN") + " log_lines AS l ON l.id = w.id";
    where.parameters.insert(where.parameters.end(), walked.parameters.begin(), walked.parameters.end());
    if (read.filter.level) where.add("w.level = ?", std::int64_t{*read.filter.level});
    if (searching(read)) {
      where.add("lower(l.text) LIKE lower(?) ESCAPE '\\'", containsPattern(*read.filter.search));
    }
  } else if (source == Source::Below) {
    // The database's choice of index, say the level's for a common tool's errors; "+ 0" keeps it off the ids.
    from = "log_lines AS l";
    where.add("l.id + 0 <= ?", read.mark);
    where.add("l.model = ?", *read.filter.scope.model);
    addRange(where, read, "l.received_ms", "l.id");
    // A tool's errors behind its burst of 2.6 million notices took 0.44 s with
    // the index by time walked through them.
    addLineConditions(where, read.filter, false, levelFirst);
  } else {
    // Read by id: "+ 0" keeps them off the indexes by time and level.
    from = std::string("log_lines AS l") + (sqlite ? " NOT INDEXED" : "");
    where.add("l.id > ?", read.mark);
    where.add("l.model = ?", *read.filter.scope.model);
    addRange(where, read, "l.received_ms + 0", "l.id");
    addLineConditions(where, read.filter, true);
  }
  where.parameters.emplace_back(limitValue(wanted));
  const std::string text = read.textChars ? "substr(l.text, 1, ?)" : "l.text";
  // Side rows in the walk's own order: the lines are looked up until the page
  // is full, not all of the walk's and then sorted (6,000 lookups for a page).
  const std::string k = source == Source::Side ? "w." : "l.";
  return sql.run("SELECT l.id, l.uin, l.level, l.model, l.version, " + text + ", l.received_ms, l.address FROM " +
                     from + where.sql + " ORDER BY " + (levelFirst ? "l.level" + direction + ", " : std::string()) +
                     k + "received_ms" + direction + ", " + k + "id" + direction + " LIMIT ?",
                 where.parameters);
}

// Side rows a read with a level (or a search term, which looks each line up)
// walks before it lets the database choose: the level's index finds a common
// tool's rare lines sooner. A tool with few rows in the range (mostWalked) has
// them all walked instead: the database's choice reads every tool's.
constexpr std::int64_t kLevelWalk = 16'384;
constexpr std::int64_t kSearchWalk = 2'048;

// The tool's side rows in the read's range, counted up to `most` and one.
std::int64_t sideRowsInRange(SqlConnection& sql, const Read& read, std::int64_t most) {
  Condition walked = sideRowsOf(read);
  walked.parameters.emplace_back(most + 1);
  return integerAt(sql.run("SELECT COUNT(*) FROM (SELECT 1 FROM log_lines_by_tool AS t" + walked.sql + " LIMIT ?) AS w",
                           walked.parameters)
                       .rows.at(0),
                   0);
}

// SQLite: an export's read of a term walks on too, a chunk of side rows a
// statement, since it sorts the walk's lines (all of them) where PostgreSQL
// stops at a full page. The range read as the database chooses reads every
// tool's lines: Tool0's "Tahoma", 1 line in 60 of a tool with 3 % of the
// lines, took 3.2 s to an export's first byte. (Looking up only the chunk's
// lines among the text index's candidates saved nothing: a lookup costs a few
// microseconds, the candidates of a long term in a chunk's ids as much; nor
// did reading them 64 ids a statement.)
constexpr std::int64_t kChunkWalked = 4'096;

SqlResult walkInChunks(SqlConnection& sql, const Read& read, std::size_t wanted) {
  // No larger than a walk of a tool's lines whole (tests make that small).
  const std::int64_t lines = std::clamp<std::int64_t>(read.walk.mostWalked, 64, kChunkWalked);
  SqlResult rows;
  std::optional<RowPosition> from = read.after;
  while (rows.rows.size() < wanted) {
    const Read chunk{read.filter, from, read.order, read.mark, read.textChars, read.walk};
    const SqlResult found = sourceRows(sql, Source::Side, chunk, wanted - rows.rows.size(), lines);
    rows.rows.insert(rows.rows.end(), found.rows.begin(), found.rows.end());
    // Where the chunk ended: the next starts after it.
    Condition walked = sideRowsOf(chunk);
    walked.parameters.emplace_back(lines - 1);
    const SqlResult last = sql.run("SELECT t.received_ms, t.id FROM log_lines_by_tool AS t" + walked.sql +
                                       " ORDER BY t.received_ms, t.id LIMIT 1 OFFSET ?",
                                   walked.parameters);
    if (last.rows.empty()) break;
    from = RowPosition{integerAt(last.rows[0], 0), integerAt(last.rows[0], 1)};
  }
  return rows;
}

// The lines up to the mark: the side table's rows, or when a level or search
// term leaves too few of its first rows, whatever the database finds best.
std::optional<SqlResult> belowMark(SqlConnection& sql, const Read& read, std::size_t wanted) {
  if (!read.filter.level && !searching(read)) return sourceRows(sql, Source::Side, read, wanted, limitValue(wanted));
  if (read.walk.walkOnly) {
    const std::int64_t sideRows = sideRowsInRange(sql, read, read.walk.mostWalked);
    if (sideRows > read.walk.mostWalked) return std::nullopt;
    return sourceRows(sql, Source::Side, read, wanted, sideRows);
  }
  const std::int64_t walk = std::max<std::int64_t>(searching(read) ? kSearchWalk : kLevelWalk,
                                                   4 * limitValue(std::min<std::size_t>(wanted, kLevelWalk)));
  SqlResult rows = sourceRows(sql, Source::Side, read, wanted, walk);
  if (rows.rows.size() >= wanted) return rows;
  // Fewer than wanted: either the walk took every side row of the range, or it stopped short.
  const std::int64_t sideRows = sideRowsInRange(sql, read, std::max(walk, read.walk.mostWalked));
  if (sideRows < walk) return rows;
  if (sideRows <= read.walk.mostWalked) return sourceRows(sql, Source::Side, read, wanted, sideRows);
  // An export's read on PostgreSQL, which looks the walk's lines up in its
  // order and stops at a full page, walks on: for a term it chose to scan the
  // whole table, 0.7 s each read. (One page of a term in no line of a large
  // tool would walk it all, seconds, where the scan takes the 0.7 s once.)
  if (searching(read) && read.after) {
    return sql.dialect() == SqlDialect::Postgres ? sourceRows(sql, Source::Side, read, wanted, INT64_MAX)
                                                 : walkInChunks(sql, read, wanted);
  }
  return sourceRows(sql, Source::Below, read, wanted);
}

// Both sources' first `offset + limit` rows, merged: lines arrive about, not
// exactly, in id order, so either may hold the first rows.
std::optional<SqlResult> merged(SqlConnection& sql, const LogFilter& filter, const std::optional<RowPosition>& after,
                                Order order, std::size_t offset, std::size_t limit,
                                std::optional<std::size_t> textChars, ToolWalk walk) {
  if (!filter.scope.model) return std::nullopt;
  const std::optional<std::int64_t> mark = toolIndexedUpTo(sql);
  if (!mark) return std::nullopt;
  SqlResult rows;
  if (limit == 0) return rows;
  const std::size_t wanted = offset + std::min(limit, SIZE_MAX - offset);
  const Read read{filter, after, order, *mark, textChars, walk};
  std::optional<SqlResult> below = belowMark(sql, read, wanted);
  if (!below) return std::nullopt;
  rows = std::move(*below);
  const SqlResult tail = sourceRows(sql, Source::Past, read, wanted);
  rows.rows.insert(rows.rows.end(), tail.rows.begin(), tail.rows.end());
  const auto earlier = [](const Row& a, const Row& b) {
    const std::int64_t aTime = integerAt(a, 6), bTime = integerAt(b, 6);
    return aTime != bTime ? aTime < bTime : integerAt(a, 0) < integerAt(b, 0);
  };
  std::sort(rows.rows.begin(), rows.rows.end(),
            [&](const Row& a, const Row& b) { return order == Order::OldestFirst ? earlier(a, b) : earlier(b, a); });
  if (rows.rows.size() > wanted) rows.rows.resize(wanted);
  rows.rows.erase(rows.rows.begin(), rows.rows.begin() + static_cast<std::ptrdiff_t>(std::min(offset, rows.rows.size())));
  return rows;
}

}  // namespace

std::optional<SqlResult> toolLogPage(SqlConnection& sql, const LogFilter& filter, std::size_t offset,
                                     std::size_t limit, std::optional<std::size_t> textChars, ToolWalk walk) {
  return merged(sql, filter, std::nullopt, Order::NewestFirst, offset, limit, textChars, walk);
}

bool toolLinesAtMost(SqlConnection& sql, const LogFilter& filter, std::int64_t most) {
  if (!filter.scope.model) return false;
  const std::optional<std::int64_t> mark = toolIndexedUpTo(sql);
  if (!mark) return false;
  const std::optional<RowPosition> from;
  const Read read{filter, from, Order::NewestFirst, *mark, std::nullopt, {}};
  return sideRowsInRange(sql, read, most) <= most;
}

std::optional<SqlResult> toolLogLines(SqlConnection& sql, const LogFilter& filter, RowPosition after,
                                      std::size_t limit, std::int64_t mostWalked) {
  // Ids start at 1, so (from, 0) comes before every row of the range.
  if (after.millis < filter.scope.range.fromMillis) after = {filter.scope.range.fromMillis, 0};
  return merged(sql, filter, after, Order::OldestFirst, 0, limit, std::nullopt, ToolWalk{mostWalked, false});
}

}  // namespace zandle::service
