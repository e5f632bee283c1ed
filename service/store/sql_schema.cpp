#include "store/sql_schema.h"

#include "store/schema_steps.h"

#include <string_view>
#include <utility>

namespace zandle::service {
namespace {

// {ID32}, {ID64} and {BLOB} stand for the dialect's types.
constexpr std::string_view kSchemaTemplate = R"SQL(
CREATE TABLE IF NOT EXISTS tools (
  model TEXT PRIMARY KEY,
  last_version TEXT NOT NULL,
  first_seen_ms BIGINT NOT NULL,
  last_seen_ms BIGINT NOT NULL,
  last_uin INTEGER NOT NULL,
  last_address TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS tool_config (
  model TEXT PRIMARY KEY,
  warning_level INTEGER NOT NULL,
  functions TEXT NOT NULL,
  updated_ms BIGINT NOT NULL
);
CREATE TABLE IF NOT EXISTS sessions (
  id {ID32},
  login_detail_id INTEGER,
  uin INTEGER NOT NULL,
  model TEXT NOT NULL,
  extra TEXT,
  version TEXT NOT NULL,
  raw_model_name_ver {BLOB} NOT NULL,
  entered_ms BIGINT NOT NULL,
  enter_address TEXT NOT NULL,
  left_ms BIGINT,
  leave_address TEXT
);
CREATE TABLE IF NOT EXISTS log_lines (
  id {ID64},
  uin INTEGER NOT NULL,
  level INTEGER NOT NULL,
  model TEXT NOT NULL,
  version TEXT NOT NULL,
  text TEXT NOT NULL,
  raw_log_info {BLOB} NOT NULL,
  received_ms BIGINT NOT NULL,
  address TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS satisfaction (
  id {ID64},
  uin INTEGER NOT NULL,
  level INTEGER NOT NULL,
  model TEXT NOT NULL,
  version TEXT NOT NULL,
  function TEXT NOT NULL,
  raw_model_name_ver {BLOB} NOT NULL,
  satis_info TEXT NOT NULL,
  received_ms BIGINT NOT NULL,
  address TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS tool_log_levels (
  model TEXT NOT NULL,
  level INTEGER NOT NULL,
  name TEXT NOT NULL,
  color TEXT NOT NULL,
  PRIMARY KEY (model, level)
);
)SQL";

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// Stores before random login detail ids: the ids already handed out stay valid.
constexpr std::string_view kLoginDetailIdUpgrade =
    "ALTER TABLE sessions ADD COLUMN login_detail_id INTEGER;"
    "UPDATE sessions SET login_detail_id = id;";

// Made only where missing (addIndexIfMissing): CREATE INDEX IF NOT EXISTS locks
// sessions even when the index is there, and would deadlock with another
// instance's concurrent build of a sessions index.
constexpr std::pair<const char*, const char*> kSessionIndexes[] = {
    {"sessions_open", "CREATE INDEX sessions_open ON sessions (id) WHERE left_ms IS NULL"},
    {"sessions_by_tool_version", "CREATE INDEX sessions_by_tool_version ON sessions (model, version, entered_ms)"},
    {"sessions_by_login_detail_id",
     "CREATE UNIQUE INDEX sessions_by_login_detail_id ON sessions (login_detail_id)"},
};

// Where /healthz proves the store takes writes.
constexpr std::string_view kServiceHealthTable =
    "CREATE TABLE IF NOT EXISTS service_health (id INTEGER PRIMARY KEY, checked_ms BIGINT NOT NULL)";

// Dashboard sign-ins and the sign-in lockout, shared by every instance on the store.
constexpr std::string_view kDashboardAccessTables =
    "CREATE TABLE IF NOT EXISTS dashboard_sessions (id TEXT PRIMARY KEY, csrf TEXT NOT NULL, "
    "expires_ms BIGINT NOT NULL, time_zone TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS sign_in_failures (address TEXT PRIMARY KEY, window_start_ms BIGINT NOT NULL, "
    "failures INTEGER NOT NULL, locked_until_ms BIGINT NOT NULL)";

}  // namespace

void upgradeSchema(SqlConnection& sql) {
  // One instance at a time: SQLite's write lock, PostgreSQL's advisory lock.
  const bool sqlite = sql.dialect() == SqlDialect::Sqlite;
  sql.runScript(sqlite ? "BEGIN IMMEDIATE" : "BEGIN; SELECT pg_advisory_xact_lock(7243110);");
  try {
    if (!hasColumn(sql, "sessions", "login_detail_id")) sql.runScript(kLoginDetailIdUpgrade);
    for (const auto& [name, statement] : kSessionIndexes) addIndexIfMissing(sql, name, statement);
    sql.runScript(kServiceHealthTable);
    sql.runScript(kDashboardAccessTables);
    // Only where missing: it would hold other instances' sign-ins up until this start-up commits.
    addIndexIfMissing(sql, "dashboard_sessions_by_expiry",
                      "CREATE INDEX dashboard_sessions_by_expiry ON dashboard_sessions (expires_ms)");
    addTallyTables(sql);
    addLineCountMark(sql);
    addToolIndex(sql);
    addTextSearch(sql);
    addListIndexes(sql);  // one is on the text search's side table
    addLineTimes(sql);
    addTextBlocks(sql);
    sql.runScript("COMMIT");
  } catch (const std::exception&) {
    try {
      sql.runScript("ROLLBACK");
    } catch (const std::exception&) {
      // The connection is gone; nothing was kept.
    }
    throw;
  }
}

std::string schemaScript(SqlDialect dialect) {
  std::string script(kSchemaTemplate);
  if (dialect == SqlDialect::Sqlite) {
    // AUTOINCREMENT: ids are never handed out twice, even after deletions.
    replaceAll(script, "{ID32}", "INTEGER PRIMARY KEY AUTOINCREMENT");
    replaceAll(script, "{ID64}", "INTEGER PRIMARY KEY AUTOINCREMENT");
    replaceAll(script, "{BLOB}", "BLOB");
    return script;
  }
  replaceAll(script, "{ID32}", "INTEGER GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
  replaceAll(script, "{ID64}", "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
  replaceAll(script, "{BLOB}", "BYTEA");
  // Instances starting together would otherwise race on CREATE ... IF NOT EXISTS.
  return "SELECT pg_advisory_lock(7243110);" + script + "SELECT pg_advisory_unlock(7243110);";
}

}  // namespace zandle::service
