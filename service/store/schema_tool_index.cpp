#include "store/schema_steps.h"

#include <string>

#include "store/query_helpers.h"
#include "store/tool_index.h"

namespace zandle::service {
namespace {

// A store this small has its side table filled at once, before the service answers.
constexpr std::int64_t kIndexedAtStart = 50'000;

}  // namespace

void addToolIndex(SqlConnection& sql) {
  // Its first form had no level: made again.
  if (hasTable(sql, "tool_index") && !hasColumn(sql, "log_lines_by_tool", "level")) {
    sql.runScript("DROP TABLE log_lines_by_tool");
    sql.runScript("DROP TABLE tool_index");
  }
  if (!hasTable(sql, "tool_index")) {
    // A store from before starts at mark 0 and is filled beside the requests.
    sql.runScript(std::string("CREATE TABLE IF NOT EXISTS log_lines_by_tool (model TEXT NOT NULL, received_ms BIGINT "
                              "NOT NULL, id BIGINT NOT NULL, level INTEGER NOT NULL, PRIMARY KEY (model, received_ms, id))") +
                  (sql.dialect() == SqlDialect::Sqlite ? " WITHOUT ROWID" : ""));
    sql.runScript("CREATE TABLE tool_index (done_id BIGINT NOT NULL)");
    sql.runScript("INSERT INTO tool_index VALUES (0)");
  }
  if (query::linesPastMark(sql, "tool_index", kIndexedAtStart + 1) > kIndexedAtStart) return;
  if (sql.dialect() == SqlDialect::Postgres) sql.run("SELECT pg_advisory_xact_lock(?)", {kLogLinesLock});
  while (indexToolLines(sql, kIndexedAtStart)) {
  }
  // PostgreSQL drops it CONCURRENTLY beside the requests; SQLite at once.
  if (sql.dialect() == SqlDialect::Sqlite) retireToolTimeIndex(sql);
}

}  // namespace zandle::service
