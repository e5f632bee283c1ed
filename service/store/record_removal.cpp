#include "store/record_removal.h"

#include "store/database.h"
#include "store/line_times.h"
#include "store/text_blocks.h"
#include "store/query_helpers.h"
#include "store/schema_steps.h"

namespace zandle::service {
namespace {

struct KindSql {
  const char* table;
  const char* columns;  // id, model, version, function, uin, level, at, left
  const char* timeColumn;
};

KindSql sqlFor(RecordKind kind) {
  switch (kind) {
    case RecordKind::Session:
      return {"sessions", "id, model, version, '', uin, 0, entered_ms, left_ms", "entered_ms"};
    case RecordKind::LogLine:
      return {"log_lines", "id, model, version, '', uin, level, received_ms, NULL", "received_ms"};
    case RecordKind::Answer:
      return {"satisfaction", "id, model, version, function, uin, level, received_ms, NULL", "received_ms"};
  }
  throw StoreError("unknown record kind");
}

std::int64_t number(const std::optional<std::string>& text) { return text ? std::stoll(*text) : 0; }

}  // namespace

std::vector<RemovedRecord> removeRecords(SqlConnection& sql, RecordKind kind, const RemovalFilter& filter,
                                         std::int64_t limit) {
  const KindSql names = sqlFor(kind);
  std::string select = std::string("SELECT ") + names.columns + " FROM " + names.table + " WHERE 1 = 1";
  std::vector<SqlValue> parameters;
  if (filter.beforeMillis) {
    select += std::string(" AND ") + names.timeColumn + " < ?";
    parameters.emplace_back(*filter.beforeMillis);
  }
  if (filter.uin) {
    select += " AND uin = ?";
    parameters.emplace_back(std::int64_t{*filter.uin});
  }
  select += " ORDER BY id LIMIT ?";
  parameters.emplace_back(limit);
  const SqlResult found = sql.run(select, parameters);
  std::vector<RemovedRecord> removed;
  removed.reserve(found.rows.size());
  std::string ids;
  std::vector<SqlValue> idValues;
  for (const auto& row : found.rows) {
    RemovedRecord record;
    record.id = number(row[0]);
    record.model = row[1].value_or("");
    record.version = row[2].value_or("");
    record.function = row[3].value_or("");
    record.uin = number(row[4]);
    record.level = number(row[5]);
    record.atMillis = number(row[6]);
    if (row[7]) record.leftMillis = number(row[7]);
    ids += ids.empty() ? "?" : ", ?";
    idValues.emplace_back(record.id);
    removed.push_back(std::move(record));
  }
  if (removed.empty()) return removed;
  sql.run(std::string("DELETE FROM ") + names.table + " WHERE id IN (" + ids + ")", idValues);
  if (kind == RecordKind::LogLine) {
    // Their entries by tool go with them (none yet for lines past the mark).
    std::string keys;
    std::vector<SqlValue> keyValues;
    for (const RemovedRecord& record : removed) {
      keys += keys.empty() ? "" : ", ";
      keys += "(CAST(? AS TEXT), CAST(? AS BIGINT), CAST(? AS BIGINT))";
      keyValues.insert(keyValues.end(), {record.model, record.atMillis, record.id});
    }
    sql.run("DELETE FROM log_lines_by_tool WHERE (model, received_ms, id) IN (VALUES " + keys + ")", keyValues);
    // PostgreSQL's lowered texts too, where it keeps them (SQLite's index has a trigger).
    if (sql.dialect() == SqlDialect::Postgres && hasTable(sql, "log_lines_text")) {
      sql.run("DELETE FROM log_lines_text WHERE id IN (" + ids + ")", idValues);
    }
    forgetEmptyLineBlocks(sql);
    forgetEmptyTextBlocks(sql);
  }
  return removed;
}

std::int64_t forgetToolSightings(SqlConnection& sql, std::int32_t uin) {
  return sql.run("UPDATE tools SET last_uin = 0, last_address = '' WHERE last_uin = ?", {std::int64_t{uin}})
      .changedRows;
}

}  // namespace zandle::service
