#include "store/tool_log_reads.h"

#include <algorithm>
#include <string>

#include "store/query_helpers.h"
#include "store/tool_index.h"

namespace zandle::service {
namespace {

using namespace query;

enum class Order { NewestFirst, OldestFirst };

// One source's rows: `side` the table by tool up to the mark, else the lines past it.
SqlResult sourceRows(SqlConnection& sql, bool side, std::int64_t mark, const LogFilter& filter, const std::optional<RowPosition>& after,
                     Order order, std::size_t wanted, std::optional<std::size_t> textChars) {
  const bool sqlite = sql.dialect() == SqlDialect::Sqlite;
  // The lines past the mark are read by id: "+ 0" keeps them off the indexes by time and level.
  const std::string time = side ? "t.received_ms" : "l.received_ms + 0";
  const std::string id = side ? "t.id" : "l.id";
  Condition where;
  if (textChars) where.parameters.emplace_back(limitValue(*textChars + 1));
  where.add(side ? "t.id <= ?" : "l.id > ?", mark);
  where.add(side ? "t.model = ?" : "l.model = ?", *filter.scope.model);
  // From the row after `after`, else from the range's start.
  if (after) {
    where.add("(" + time + ", " + id + ") > (?, ?)");
    where.parameters.insert(where.parameters.end(), {after->millis, after->id});
  } else {
    where.add(time + " >= ?", filter.scope.range.fromMillis);
  }
  where.add(time + " < ?", filter.scope.range.toMillis);
  if (filter.level) where.add(side ? "l.level = ?" : "l.level + 0 = ?", std::int64_t{*filter.level});
  if (filter.search && !filter.search->empty()) {
    where.add("lower(l.text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  }
  where.parameters.emplace_back(limitValue(wanted));
  // CROSS JOIN keeps SQLite walking the side table, looking each line up by id.
  const std::string from = side ? std::string("log_lines_by_tool AS t ") + (sqlite ? "CROSS JOIN" : "JOIN") +
                                      " log_lines AS l ON l.id = t.id"
                                : std::string("log_lines AS l") + (sqlite ? " NOT INDEXED" : "");
  const std::string direction = order == Order::NewestFirst ? " DESC" : "";
  const std::string text = textChars ? "substr(l.text, 1, ?)" : "l.text";
  return sql.run("SELECT l.id, l.uin, l.level, l.model, l.version, " + text + ", l.received_ms, l.address FROM " +
                     from + where.sql + " ORDER BY " + time + direction + ", " + id + direction + " LIMIT ?",
                 where.parameters);
}

// Both sources' first `offset + limit` rows, merged: lines arrive about, not
// exactly, in id order, so either may hold the first rows.
std::optional<SqlResult> merged(SqlConnection& sql, const LogFilter& filter, const std::optional<RowPosition>& after, Order order,
                                std::size_t offset, std::size_t limit, std::optional<std::size_t> textChars) {
  if (!filter.scope.model) return std::nullopt;
  const std::optional<std::int64_t> mark = toolIndexedUpTo(sql);
  if (!mark) return std::nullopt;
  SqlResult rows;
  if (limit == 0) return rows;
  const std::size_t wanted = offset + std::min(limit, SIZE_MAX - offset);
  rows = sourceRows(sql, true, *mark, filter, after, order, wanted, textChars);
  const SqlResult tail = sourceRows(sql, false, *mark, filter, after, order, wanted, textChars);
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
                                     std::size_t limit, std::optional<std::size_t> textChars) {
  return merged(sql, filter, std::nullopt, Order::NewestFirst, offset, limit, textChars);
}

std::optional<SqlResult> toolLogLines(SqlConnection& sql, const LogFilter& filter, RowPosition after,
                                      std::size_t limit) {
  // Ids start at 1, so (from, 0) comes before every row of the range.
  if (after.millis < filter.scope.range.fromMillis) after = {filter.scope.range.fromMillis, 0};
  return merged(sql, filter, after, Order::OldestFirst, 0, limit, std::nullopt);
}

}  // namespace zandle::service
