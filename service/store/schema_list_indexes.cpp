#include "store/schema_steps.h"

#include <string>

#include "common/logger.h"
#include "store/sql_schema.h"

namespace zandle::service {
namespace {

// A store with no more records than this has its indexes built at once,
// before the service answers; a larger one has them built beside the requests.
constexpr std::int64_t kIndexedAtStart = 50'000;

struct IndexDefinition {
  const char* name;
  const char* definition;
};

// Each list index ends in the id, so a page is found by seeking to the last
// row's (time, id); the summary export reads the functions' sums from theirs.
constexpr IndexDefinition kIndexes[] = {
    {"log_lines_by_time", "log_lines (received_ms, id)"},
    {"log_lines_by_tool_time", "log_lines (model, received_ms, id)"},
    {"log_lines_by_level_time", "log_lines (level, received_ms, id)"},
    {"sessions_by_time", "sessions (entered_ms, id)"},
    {"sessions_by_tool_time", "sessions (model, entered_ms, id)"},
    {"satisfaction_by_time", "satisfaction (received_ms, id)"},
    {"satisfaction_by_tool_time", "satisfaction (model, received_ms, id)"},
    {"sessions_open_by_tool", "sessions (model) WHERE left_ms IS NULL"},
    {"function_tally_sums", "function_tally (model, function, span, start_ms, a0, a1, a2, a3)"},
    // The ranking of a period's versions and functions reads its rows by time, sums included.
    {"version_tally_by_time_sums", "version_tally (span, start_ms, model, version, sessions, errors, a0, a1, a2, a3)"},
    {"function_tally_by_time_sums", "function_tally (span, start_ms, model, function, a0, a1, a2, a3)"},
};

// Covered by the indexes above; one index less to keep up at every insert.
constexpr const char* kRetired[] = {
    "DROP INDEX IF EXISTS log_lines_by_arrival",
    "DROP INDEX IF EXISTS sessions_by_entry",
    "DROP INDEX IF EXISTS sessions_by_tool_entry",
    "DROP INDEX IF EXISTS satisfaction_by_arrival",
    "DROP INDEX IF EXISTS version_tally_by_time",
    "DROP INDEX IF EXISTS function_tally_by_time",
};

bool fewRecords(SqlConnection& sql) {
  for (const char* table : {"log_lines", "sessions", "satisfaction"}) {
    const SqlResult rows = sql.run(std::string("SELECT COUNT(*) FROM (SELECT 1 FROM ") + table + " LIMIT ?) AS first",
                                   {kIndexedAtStart + 1});
    if (rows.rows.empty() || !rows.rows[0].at(0) || std::stoll(*rows.rows[0].at(0)) > kIndexedAtStart) return false;
  }
  return true;
}

// Whether the index is there and whole (a PostgreSQL build cut short leaves an invalid one).
bool usable(SqlConnection& sql, const char* name) {
  if (sql.dialect() == SqlDialect::Sqlite) {
    return !sql.run("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?", {std::string(name)}).rows.empty();
  }
  return !sql.run("SELECT 1 FROM pg_index WHERE indexrelid = to_regclass(?) AND indisvalid", {std::string(name)})
              .rows.empty();
}

}  // namespace

void addIndexIfMissing(SqlConnection& sql, const char* name, const char* statement) {
  const bool there =
      sql.dialect() == SqlDialect::Sqlite
          ? !sql.run("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?", {std::string(name)}).rows.empty()
          : !sql.run("SELECT 1 FROM pg_class WHERE relname = ? AND relnamespace = current_schema()::regnamespace",
                     {std::string(name)})
                 .rows.empty();
  if (!there) sql.runScript(statement);
}

void addListIndexes(SqlConnection& sql) {
  if (!fewRecords(sql)) return;
  for (const IndexDefinition& index : kIndexes) {
    // Only a missing one: CREATE INDEX locks its table even when the index is
    // there, and would deadlock with another instance's concurrent build.
    if (usable(sql, index.name)) continue;
    sql.runScript(std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + index.definition);
  }
  for (const char* statement : kRetired) sql.runScript(statement);
}

bool buildListIndex(SqlConnection& sql) {
  for (const IndexDefinition& index : kIndexes) {
    if (usable(sql, index.name)) continue;
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
  for (const char* statement : kRetired) sql.runScript(statement);
  return false;
}

}  // namespace zandle::service
