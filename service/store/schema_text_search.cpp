#include "store/schema_steps.h"

#include <string>

#include "common/logger.h"
#include "store/query_helpers.h"
#include "store/text_search.h"

namespace zandle::service {
namespace {

// A store this small has its lines indexed at once, before the service answers.
constexpr std::int64_t kIndexedAtStart = 50'000;
// Stores from before the side table kept this index on log_lines.
constexpr const char* kRowTextIndex = "log_lines_text_trgm";

// Few enough lines past the text index's mark to index them before the service answers.
bool fewUnindexed(SqlConnection& sql) {
  return query::linesPastMark(sql, "text_index", kIndexedAtStart + 1) <= kIndexedAtStart;
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
  if (fewUnindexed(sql)) {
    while (indexNewLines(sql, kIndexedAtStart)) {
    }
  }
}

// Errors have an FTS5 table of their own (see text_search.h), filled past its
// own mark: a store from before gets theirs back-filled beside the requests.
void addSqliteErrorTextIndex(SqlConnection& sql) {
  if (!sqliteHas(sql, "log_text") || sqliteHas(sql, kErrorTextTable)) return;
  const std::string level = std::to_string(kOwnTextIndexLevel);
  sql.runScript(std::string("CREATE VIRTUAL TABLE ") + kErrorTextTable +
                " USING fts5(text, content = 'log_lines', content_rowid = 'id', tokenize = 'trigram')");
  sql.runScript("CREATE TABLE error_text_index (done_id BIGINT NOT NULL)");
  sql.runScript("INSERT INTO error_text_index VALUES (0)");
  // Deleting a line the index lacks would corrupt it: exactly the lines it holds.
  sql.runScript("CREATE TRIGGER log_error_text_removed AFTER DELETE ON log_lines WHEN old.level = " + level +
                " AND old.id <= (SELECT done_id FROM error_text_index) BEGIN INSERT INTO " + kErrorTextTable + " (" +
                kErrorTextTable + ", rowid, text) VALUES ('delete', old.id, old.text); END");
  if (query::linesPastMark(sql, "error_text_index", kIndexedAtStart + 1) <= kIndexedAtStart) {
    while (indexNewErrorLines(sql, kIndexedAtStart)) {
    }
  }
}

// btree_gin lets the trigram index hold each line's tool and level too; where
// it is missing, a search of a tool or level reads every line's candidates.
bool addIndexKeys(SqlConnection& sql) {
  sql.runScript("SAVEPOINT index_keys");
  try {
    sql.runScript("CREATE EXTENSION IF NOT EXISTS btree_gin");
    sql.runScript("RELEASE SAVEPOINT index_keys");
    return true;
  } catch (const std::exception& error) {
    sql.runScript("ROLLBACK TO SAVEPOINT index_keys");
    logWarning(std::string("log search of a tool or level reads every line's matches (btree_gin): ") +
               error.what());
    return false;
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
  const bool keys = addIndexKeys(sql);
  // Trigrams cost a batch of reports more than its lines: they go to a side
  // table filled past a mark, many lines at a time. A store from before starts
  // at mark 0 and keeps its index on log_lines until the side table has caught up.
  if (!hasTable(sql, "text_index")) {
    // With each line's time, tool and level a search is decided here, over narrow rows.
    sql.runScript("CREATE TABLE IF NOT EXISTS log_lines_text (id BIGINT PRIMARY KEY, received_ms BIGINT NOT NULL, "
                  "model TEXT NOT NULL, level INTEGER NOT NULL, text TEXT NOT NULL)");
    sql.runScript(std::string("CREATE INDEX IF NOT EXISTS ") + (keys ? kKeyedTextIndex : kTextOnlyIndex) +
                  " ON log_lines_text USING gin (text gin_trgm_ops" + (keys ? ", model, level)" : ")"));
    sql.runScript("CREATE INDEX IF NOT EXISTS log_text_by_time ON log_lines_text (received_ms, id)");
    // A level's lines newest first: recent errors with a term.
    sql.runScript("CREATE INDEX IF NOT EXISTS log_text_by_level_time ON log_lines_text (level, received_ms, id)");
    sql.runScript("CREATE TABLE text_index (done_id BIGINT NOT NULL)");
    sql.runScript("INSERT INTO text_index VALUES (0)");
  }
  if (!fewUnindexed(sql)) return;
  while (indexNewLines(sql, kIndexedAtStart)) {
  }
  if (hasIndex(sql, kRowTextIndex)) sql.runScript(std::string("DROP INDEX IF EXISTS ") + kRowTextIndex);
}

}  // namespace

void addTextSearch(SqlConnection& sql) {
  if (sql.dialect() == SqlDialect::Sqlite) {
    addSqliteTextIndex(sql);
    addSqliteErrorTextIndex(sql);
  } else {
    addPostgresTextIndex(sql);
  }
}

bool retireRowTextIndex(SqlConnection& sql) {
  if (sql.dialect() != SqlDialect::Postgres || !hasIndex(sql, kRowTextIndex)) return false;
  // A store without pg_trgm has neither; one whose side table lags keeps it for now.
  if (!hasTable(sql, "text_index")) return false;
  if (!textIndexedUpTo(sql)) return true;
  logInfo(std::string("store: dropping index ") + kRowTextIndex + ", replaced by log_lines_text");
  sql.runScript(std::string("DROP INDEX CONCURRENTLY IF EXISTS ") + kRowTextIndex);
  return false;
}

}  // namespace zandle::service
