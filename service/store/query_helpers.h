// Small pieces the store's SQL files share.
#pragma once

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/dashboard_queries.h"
#include "store/sql_connection.h"

namespace zandle::service::query {

using Row = std::vector<std::optional<std::string>>;

inline std::int64_t integerAt(const Row& row, std::size_t column) {
  if (!row.at(column)) return 0;
  const std::string& text = *row[column];
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

inline std::string textAt(const Row& row, std::size_t column) { return row.at(column).value_or(std::string()); }

inline std::int64_t limitValue(std::size_t limit) {
  return static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX));
}

// A side table's mark (the last line id it holds) and the newest line id.
struct LineMarks {
  std::int64_t done = 0;
  std::int64_t last = 0;
};

// `markTable` holds the mark in its one row, done_id; nothing when the row is missing.
inline std::optional<LineMarks> lineMarks(SqlConnection& sql, std::string_view markTable) {
  const SqlResult found = sql.run("SELECT done_id, (SELECT COALESCE(MAX(id), 0) FROM log_lines) FROM " +
                                  std::string(markTable));
  if (found.rows.empty()) return std::nullopt;
  return LineMarks{integerAt(found.rows[0], 0), integerAt(found.rows[0], 1)};
}

// The next lines past `markTable`'s mark, at most `most`: ids in (done, upTo].
// Nothing when the row is missing or no line is past the mark.
struct LineSlice {
  std::int64_t done = 0;
  std::int64_t upTo = 0;
};
inline std::optional<LineSlice> nextLines(SqlConnection& sql, std::string_view markTable, std::int64_t most) {
  const SqlResult mark = sql.run("SELECT done_id FROM " + std::string(markTable));
  if (mark.rows.empty()) return std::nullopt;
  const std::int64_t done = integerAt(mark.rows[0], 0);
  const SqlResult next = sql.run(
      "SELECT MAX(id) FROM (SELECT id FROM log_lines WHERE id > ? ORDER BY id LIMIT ?) AS next_lines", {done, most});
  if (next.rows.empty() || !next.rows[0].at(0)) return std::nullopt;
  return LineSlice{done, integerAt(next.rows[0], 0)};
}

// Lines past `markTable`'s mark, counted no further than `most` (also when the row is missing).
inline std::int64_t linesPastMark(SqlConnection& sql, std::string_view markTable, std::int64_t most) {
  const SqlResult lines = sql.run("SELECT COUNT(*) FROM (SELECT 1 FROM log_lines WHERE id > (SELECT done_id FROM " +
                                      std::string(markTable) + ") LIMIT ?) AS past_mark",
                                  {most});
  return lines.rows.empty() || !lines.rows[0].at(0) ? most : integerAt(lines.rows[0], 0);
}

// Whether `select` gives at most `most` rows, counted no further than one more.
inline bool atMost(SqlConnection& sql, const std::string& select, std::vector<SqlValue> parameters,
                   std::int64_t most) {
  parameters.emplace_back(most + 1);
  return integerAt(sql.run("SELECT COUNT(*) FROM (" + select + " LIMIT ?) AS n", parameters).rows.at(0), 0) <= most;
}

// A line read as id, uin, level, model, version, text, received_ms, address.
inline LogLine lineFrom(const Row& row) {
  LogLine line;
  line.uin = static_cast<std::int32_t>(integerAt(row, 1));
  line.level = static_cast<std::int32_t>(integerAt(row, 2));
  line.model = textAt(row, 3);
  line.version = textAt(row, 4);
  line.text = textAt(row, 5);
  line.arrival = {integerAt(row, 6), textAt(row, 7)};
  return line;
}

// A (model, warning_level, functions) row of tool_config; the store keeps the
// functions comma-joined.
inline ToolConfig toolConfigFrom(const Row& row) {
  ToolConfig config{textAt(row, 0), static_cast<std::int32_t>(integerAt(row, 1)), {}};
  const std::string joined = textAt(row, 2);
  for (std::size_t start = 0; !joined.empty() && start <= joined.size();) {
    std::size_t comma = joined.find(',', start);
    if (comma == std::string::npos) comma = joined.size();
    config.functions.push_back(joined.substr(start, comma - start));
    start = comma + 1;
  }
  return config;
}

// A WHERE clause under construction and its parameters.
struct Condition {
  std::string sql;
  std::vector<SqlValue> parameters;

  void add(std::string_view clause, SqlValue value) {
    sql += sql.empty() ? " WHERE " : " AND ";
    sql += clause;
    parameters.push_back(std::move(value));
  }
  void add(std::string_view clause) {
    sql += sql.empty() ? " WHERE " : " AND ";
    sql += clause;
  }
};

// "time >= ? AND time < ? [AND model = ?]".
inline Condition within(const Scope& scope, std::string_view timeColumn) {
  Condition condition;
  condition.add(std::string(timeColumn) + " >= ?", scope.range.fromMillis);
  condition.add(std::string(timeColumn) + " < ?", scope.range.toMillis);
  if (scope.model) condition.add("model = ?", *scope.model);
  return condition;
}

// Rows of the scope after `position` in (time, id) order: one row-value
// bound, so the (time, id) index seeks straight to the next row. (A separate
// "time >= from" beside it would leave SQLite free to seek to the range's
// start for every page.)
inline Condition after(const Scope& scope, std::string_view timeColumn, RowPosition position) {
  // Ids start at 1, so (from, 0) comes before every row of the range (and fits an INTEGER id).
  if (position.millis < scope.range.fromMillis) position = {scope.range.fromMillis, 0};
  const std::string time(timeColumn);
  Condition where;
  where.add("(" + time + ", id) > (?, ?)");
  where.parameters = {position.millis, position.id};
  where.add(time + " < ?", scope.range.toMillis);
  if (scope.model) where.add("model = ?", *scope.model);
  return where;
}

// A LIKE pattern that finds `text` anywhere, its wildcards taken literally (ESCAPE '\').
inline std::string containsPattern(std::string_view text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

// PostgreSQL: `column` equal to a level, for a read ordered "level, time, id".
// The planner takes a level's lines to be spread evenly in time and may walk
// the index by time through millions of newer lines of another level (a
// tool's burst of notices); written as ANY, the level is no constant of the
// order, which then only the index by level and time gives without a sort.
inline std::string levelLeadingOrder(const std::string& column) {
  return column + " = ANY(ARRAY[CAST(? AS INTEGER)])";
}

// Level and search term on log_lines as l; "+ 0" (offIndexes) keeps the level
// from leading the database to its index; levelLeads writes it for an order
// the level leads (levelLeadingOrder).
inline void addLineConditions(Condition& where, const LogFilter& filter, bool offIndexes, bool levelLeads = false) {
  if (filter.level) {
    where.add(levelLeads   ? levelLeadingOrder("l.level")
              : offIndexes ? "l.level + 0 = ?"
                           : "l.level = ?",
              std::int64_t{*filter.level});
  }
  if (filter.search && !filter.search->empty()) {
    where.add("lower(l.text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  }
}

// The filter's range, tool, level and term on log_lines as l, the LIKE last;
// offIndexes keeps time and level off their indexes (lines read by id).
inline Condition searchCondition(const LogFilter& filter, Condition where, bool offIndexes = false) {
  const std::string time = offIndexes ? "l.received_ms + 0" : "l.received_ms";
  where.add(time + " >= ?", filter.scope.range.fromMillis);
  where.add(time + " < ?", filter.scope.range.toMillis);
  if (filter.scope.model) where.add("l.model = ?", *filter.scope.model);
  addLineConditions(where, filter, offIndexes);
  return where;
}

// PostgreSQL: the filter's mark, range, tool and level on the side table of
// lowered texts (log_lines_text as t), or on its lines by tool (`k` "b.").
// fromIndex keeps time and level off their indexes ("+ 0"), for a read from
// the trigram index; levelFirst writes the level for an order "level, time,
// id" (levelLeadingOrder);
// levelIndexed writes it as a constant, for the level's own trigram index;
// levelKeyed as the trigram index keyed by level reads it.
inline Condition sideTextCondition(const LogFilter& filter, std::int64_t indexedUpTo, const std::string& k,
                                   bool fromIndex, bool levelFirst = false, bool levelIndexed = false,
                                   bool levelKeyed = false) {
  const std::string time = fromIndex ? "t.received_ms + 0" : k + "received_ms";
  Condition where;
  where.add(k + "id <= ?", indexedUpTo);
  where.add(time + " >= ?", filter.scope.range.fromMillis);
  where.add(time + " < ?", filter.scope.range.toMillis);
  if (filter.scope.model) where.add(k + "model = ?", *filter.scope.model);
  if (filter.level && fromIndex && levelIndexed) {
    // A constant: a statement planned for any value of its parameters (as a
    // prepared one soon is) cannot take the level's own trigram index.
    where.add("t.level + 0 = " + std::to_string(*filter.level));
  } else if (filter.level) {
    where.add(fromIndex && levelKeyed ? "t.level = ?"
              : fromIndex             ? "t.level + 0 = ?"
              : levelFirst ? levelLeadingOrder("t.level")
                           : k + "level = ?",
              std::int64_t{*filter.level});
  }
  return where;
}

}  // namespace zandle::service::query
