#include "store/schema_steps.h"

#include <string>

#include "common/logger.h"
#include "store/text_search.h"

namespace zandle::service {
namespace {

// A store this small has its lines indexed at once, before the service answers.
constexpr std::int64_t kIndexedAtStart = 50'000;
// Searches compare lower(text): the index is on the same expression.
constexpr const char* kPostgresTextIndex = "log_lines_text_trgm ON log_lines USING gin (lower(text) gin_trgm_ops)";

bool fewLines(SqlConnection& sql) {
  const SqlResult lines =
      sql.run("SELECT COUNT(*) FROM (SELECT 1 FROM log_lines LIMIT ?) AS first_lines", {kIndexedAtStart + 1});
  return !lines.rows.empty() && lines.rows[0].at(0) && std::stoll(*lines.rows[0].at(0)) <= kIndexedAtStart;
}

bool sqliteHas(SqlConnection& sql, std::string_view name) {
  return !sql.run("SELECT 1 FROM sqlite_master WHERE name = ?", {std::string(name)}).rows.empty();
}

void addSqliteTextIndex(SqlConnection& sql) {
  if (sqliteHas(sql, "log_text")) return;
  try {
    // External content: the index keeps trigrams only, the text stays in log_lines.
    sql.runScript("CREATE VIRTUAL TABLE log_text USING fts5(text, content = 'log_lines', content_rowid = 'id', "
                  "tokenize = 'trigram')");
  } catch (const std::exception& error) {
    logWarning(std::string("log search runs without a text index: ") + error.what());
    return;
  }
  // The writer indexes lines past the mark when it has nothing else to do; a
  // removed line leaves the index only if it got there.
  sql.runScript("CREATE TABLE text_index (done_id BIGINT NOT NULL)");
  sql.runScript("INSERT INTO text_index VALUES (0)");
  sql.runScript("CREATE TRIGGER log_text_removed AFTER DELETE ON log_lines "
                "WHEN old.id <= (SELECT done_id FROM text_index) BEGIN "
                "INSERT INTO log_text (log_text, rowid, text) VALUES ('delete', old.id, old.text); END");
  if (fewLines(sql)) {
    while (indexNewLines(sql, kIndexedAtStart)) {
    }
  }
}

// pg_trgm may be missing or not ours to create: searches then scan, as before.
void addPostgresTextIndex(SqlConnection& sql) {
  sql.runScript("SAVEPOINT text_search");
  try {
    sql.runScript("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    sql.runScript("RELEASE SAVEPOINT text_search");
  } catch (const std::exception& error) {
    sql.runScript("ROLLBACK TO SAVEPOINT text_search");
    logWarning(std::string("log search runs without a text index (pg_trgm): ") + error.what());
    return;
  }
  // A larger store has it built beside the requests (buildTextIndex).
  // Only a missing one: CREATE INDEX locks the table even when the index is there.
  if (fewLines(sql) && sql.run("SELECT 1 FROM pg_class WHERE relname = 'log_lines_text_trgm' AND "
                               "relnamespace = current_schema()::regnamespace").rows.empty()) {
    sql.runScript(std::string("CREATE INDEX IF NOT EXISTS ") + kPostgresTextIndex);
  }
}

}  // namespace

void addTextSearch(SqlConnection& sql) {
  if (sql.dialect() == SqlDialect::Sqlite) {
    addSqliteTextIndex(sql);
  } else {
    addPostgresTextIndex(sql);
  }
}

bool buildTextIndex(SqlConnection& sql) {
  if (sql.dialect() != SqlDialect::Postgres) return false;
  const SqlResult state = sql.run(
      "SELECT (SELECT COUNT(*) FROM pg_extension WHERE extname = 'pg_trgm'), "
      "(SELECT COUNT(*) FROM pg_index WHERE indexrelid = to_regclass('log_lines_text_trgm')), "
      "(SELECT COUNT(*) FROM pg_index WHERE indexrelid = to_regclass('log_lines_text_trgm') AND indisvalid)");
  const auto count = [&](std::size_t column) { return std::stoll(state.rows.at(0).at(column).value_or("0")); };
  if (count(0) == 0 || count(2) == 1) return false;
  // A build cut short leaves an invalid index behind: it is made again.
  if (count(1) == 1) sql.runScript("DROP INDEX CONCURRENTLY IF EXISTS log_lines_text_trgm");
  logInfo("store: building the text index of the log lines");
  sql.runScript(std::string("CREATE INDEX CONCURRENTLY IF NOT EXISTS ") + kPostgresTextIndex);
  logInfo("store: the text index of the log lines is built");
  return false;
}

}  // namespace zandle::service
