#include "store/schema_steps.h"

#include <string>

#include "common/logger.h"
#include "store/sql_schema.h"
#include "store/text_search.h"

namespace zandle::service {
namespace {

// A store with no more records than this has its indexes built at once,
// before the service answers; a larger one has them built beside the requests.
constexpr std::int64_t kIndexedAtStart = 50'000;

enum class Stores { Both, Sqlite, Postgres };

struct IndexDefinition {
  const char* name;
  const char* definition;
  Stores stores = Stores::Both;
  const char* table = nullptr;       // one the store may lack
  const char* extension = nullptr;   // one the store may lack
  const char* replacedBy = nullptr;  // retired only once this one is whole
};

// Each list index ends in the id, so a page is found by seeking to the last
// row's (time, id).
constexpr IndexDefinition kIndexes[] = {
    {"log_lines_by_time", "log_lines (received_ms, id)"},
    {"log_lines_by_level_time", "log_lines (level, received_ms, id)"},
    {"sessions_by_time", "sessions (entered_ms, id)"},
    {"sessions_by_tool_time", "sessions (model, entered_ms, id)"},
    {"satisfaction_by_time", "satisfaction (received_ms, id)"},
    {"satisfaction_by_tool_time", "satisfaction (model, received_ms, id)"},
    {"sessions_open_by_tool", "sessions (model) WHERE left_ms IS NULL"},
    // A period's versions and functions are read by time. SQLite reads the
    // sums from the index too; on PostgreSQL an index holding the sums takes
    // a new entry at every count (no update in place) and swells with dead ones.
    {"version_tally_by_time_sums", "version_tally (span, start_ms, model, version, sessions, errors, a0, a1, a2, a3)",
     Stores::Sqlite},
    // A function's own rows with their sums: SQLite would rather scan the
    // covering index by time over every function than look each row up.
    {"function_tally_sums", "function_tally (model, function, span, start_ms, a0, a1, a2, a3)", Stores::Sqlite},
    {"function_tally_by_time_sums", "function_tally (span, start_ms, model, function, a0, a1, a2, a3)", Stores::Sqlite},
    {"version_tally_by_time", "version_tally (span, start_ms)", Stores::Postgres},
    {"function_tally_by_time", "function_tally (span, start_ms)", Stores::Postgres},
    // Only where pg_trgm gave the side table of lowered texts (kOwnTextIndexLevel).
    // "+ 0" as the reads from the trigram index write it: the index by level
    // could serve a plain "level = 0", and the planner takes it on a small store.
    {kLevelTextIndex, "log_lines_text USING gin (text gin_trgm_ops) WHERE level + 0 = 0", Stores::Postgres,
     "log_lines_text"},
    {kKeyedTextIndex, "log_lines_text USING gin (text gin_trgm_ops, model, level)", Stores::Postgres, "log_lines_text",
     "btree_gin"},
};

// Covered by the indexes above, or no longer read; one index less to keep up at every insert.
constexpr IndexDefinition kRetired[] = {
    {"log_lines_by_arrival", ""},
    {"sessions_by_entry", ""},
    {"sessions_by_tool_entry", ""},
    {"satisfaction_by_arrival", ""},
    {"function_tally_sums", "", Stores::Postgres},
    {"version_tally_by_time", "", Stores::Sqlite},
    {"function_tally_by_time", "", Stores::Sqlite},
    {"version_tally_by_time_sums", "", Stores::Postgres},
    {"function_tally_by_time_sums", "", Stores::Postgres},
    {kTextOnlyIndex, "", Stores::Postgres, "log_lines_text", nullptr, kKeyedTextIndex},
};

bool hasExtension(SqlConnection& sql, const char* name) {
  return !sql.run("SELECT 1 FROM pg_extension WHERE extname = ?", {std::string(name)}).rows.empty();
}

bool applies(SqlConnection& sql, const IndexDefinition& index) {
  const bool store = index.stores == Stores::Both ||
                     (index.stores == Stores::Sqlite) == (sql.dialect() == SqlDialect::Sqlite);
  return store && (!index.table || hasTable(sql, index.table)) &&
         (!index.extension || hasExtension(sql, index.extension));
}

// Whether the index is there and whole (a PostgreSQL build cut short leaves an invalid one).
bool usable(SqlConnection& sql, const char* name) {
  if (sql.dialect() == SqlDialect::Sqlite) {
    return !sql.run("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?", {std::string(name)}).rows.empty();
  }
  return !sql.run("SELECT 1 FROM pg_index WHERE indexrelid = to_regclass(?) AND indisvalid", {std::string(name)})
              .rows.empty();
}

void retire(SqlConnection& sql) {
  for (const IndexDefinition& index : kRetired) {
    if (!applies(sql, index) || (index.replacedBy && !usable(sql, index.replacedBy))) continue;
    sql.runScript(std::string("DROP INDEX IF EXISTS ") + index.name);
  }
}

bool fewRecords(SqlConnection& sql) {
  for (const char* table : {"log_lines", "sessions", "satisfaction"}) {
    const SqlResult rows = sql.run(std::string("SELECT COUNT(*) FROM (SELECT 1 FROM ") + table + " LIMIT ?) AS first",
                                   {kIndexedAtStart + 1});
    if (rows.rows.empty() || !rows.rows[0].at(0) || std::stoll(*rows.rows[0].at(0)) > kIndexedAtStart) return false;
  }
  return true;
}

}  // namespace

void addIndexIfMissing(SqlConnection& sql, const char* name, const char* statement) {
  if (!hasIndex(sql, name)) sql.runScript(statement);
}

namespace {

bool hasRelation(SqlConnection& sql, std::string_view name, const char* sqliteType, const char* postgresKinds) {
  if (sql.dialect() == SqlDialect::Sqlite) {
    return !sql.run(std::string("SELECT 1 FROM sqlite_master WHERE type = '") + sqliteType + "' AND name = ?",
                    {std::string(name)})
                .rows.empty();
  }
  return !sql.run(std::string("SELECT 1 FROM pg_class WHERE relname = ? AND relkind IN (") + postgresKinds +
                      ") AND relnamespace = current_schema()::regnamespace",
                  {std::string(name)})
              .rows.empty();
}

}  // namespace

bool hasTable(SqlConnection& sql, std::string_view table) { return hasRelation(sql, table, "table", "'r', 'p'"); }

bool hasIndex(SqlConnection& sql, std::string_view index) { return hasRelation(sql, index, "index", "'i', 'I'"); }

bool hasColumn(SqlConnection& sql, std::string_view table, std::string_view column) {
  if (sql.dialect() == SqlDialect::Sqlite) {
    return !sql.run("SELECT 1 FROM pragma_table_info(?) WHERE name = ?", {std::string(table), std::string(column)})
                .rows.empty();
  }
  return !sql.run("SELECT 1 FROM information_schema.columns WHERE table_schema = current_schema() "
                  "AND table_name = ? AND column_name = ?",
                  {std::string(table), std::string(column)})
              .rows.empty();
}

void addListIndexes(SqlConnection& sql) {
  if (!fewRecords(sql)) return;
  for (const IndexDefinition& index : kIndexes) {
    // Only a missing one: CREATE INDEX locks its table even when the index is
    // there, and would deadlock with another instance's concurrent build.
    if (!applies(sql, index) || usable(sql, index.name)) continue;
    sql.runScript(std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + index.definition);
  }
  retire(sql);
}

bool buildListIndex(SqlConnection& sql) {
  for (const IndexDefinition& index : kIndexes) {
    if (!applies(sql, index) || usable(sql, index.name)) continue;
    logInfo(std::string("store: building index ") + index.name);
    if (sql.dialect() == SqlDialect::Sqlite) {
      sql.runScript(std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + index.definition);
    } else {
      sql.runScript(std::string("DROP INDEX CONCURRENTLY IF EXISTS ") + index.name);
      sql.runScript(std::string("CREATE INDEX CONCURRENTLY ") + index.name + " ON " + index.definition);
    }
    logInfo(std::string("store: index ") + index.name + " built");
    return true;
  }
  retire(sql);
  return false;
}

}  // namespace zandle::service
