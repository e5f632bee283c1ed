#include "store/schema_steps.h"

#include <string>

#include "store/tallies.h"
#include "store/tally_backfill.h"

namespace zandle::service {
namespace {

// A store this small is counted at once, before the service answers.
constexpr std::int64_t kCountedAtStart = 50'000;

std::string columns(std::string_view prefix, std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) list += ", " + std::string(prefix) + std::to_string(i) + " BIGINT NOT NULL";
  return list;
}

}  // namespace

void addTallyTables(SqlConnection& sql) {
  if (hasTable(sql, "tally_backfill")) return;
  const std::string blob = sql.dialect() == SqlDialect::Sqlite ? "BLOB" : "BYTEA";
  sql.runScript("CREATE TABLE tool_tally (every INTEGER NOT NULL, model TEXT NOT NULL, slot_ms BIGINT NOT NULL, "
                "sessions BIGINT NOT NULL, closed BIGINT NOT NULL, users " + blob + ", lengths " + blob +
                columns("l", kLevelColumns) + columns("a", kAnswerColumns) + ", PRIMARY KEY (every, model, slot_ms))");
  sql.runScript("CREATE TABLE version_tally (model TEXT NOT NULL, version TEXT NOT NULL, span INTEGER NOT NULL, "
                "start_ms BIGINT NOT NULL, sessions BIGINT NOT NULL, errors BIGINT NOT NULL, users " + blob +
                columns("a", kAnswerColumns) + ", PRIMARY KEY (model, version, span, start_ms))");
  sql.runScript("CREATE INDEX version_tally_by_time ON version_tally (span, start_ms)");
  sql.runScript("CREATE TABLE function_tally (model TEXT NOT NULL, function TEXT NOT NULL, span INTEGER NOT NULL, "
                "start_ms BIGINT NOT NULL" + columns("a", kAnswerColumns) +
                ", PRIMARY KEY (model, function, span, start_ms))");
  sql.runScript("CREATE INDEX function_tally_by_time ON function_tally (span, start_ms)");
  // Records already stored are counted in the background, up to the last id there is now.
  sql.runScript("CREATE TABLE tally_backfill (source TEXT PRIMARY KEY, done_id BIGINT NOT NULL, "
                "upto_id BIGINT NOT NULL)");
  for (const char* source : {"sessions", "log_lines", "satisfaction"}) {
    sql.run("INSERT INTO tally_backfill (source, done_id, upto_id) SELECT ?, 0, COALESCE(MAX(id), 0) FROM " +
                std::string(source),
            {std::string(source)});
  }
  // The back-fill counts every line there is now; the lines' mark takes up after it.
  if (hasTable(sql, "tally_lines")) {
    sql.run("UPDATE tally_lines SET done_id = (SELECT COALESCE(MAX(id), 0) FROM log_lines)");
  }
  const SqlResult older = sql.run("SELECT SUM(upto_id) FROM tally_backfill");
  if (!older.rows.empty() && older.rows[0].at(0) && std::stoll(*older.rows[0].at(0)) <= kCountedAtStart) {
    Tallies tallies;
    while (backfillTallies(sql, tallies, kCountedAtStart)) {
    }
    tallies.flush(sql);
    sql.flush();
  }
}

void addLineCountMark(SqlConnection& sql) {
  if (hasTable(sql, "tally_lines")) return;
  // Until now each line was counted as it came (or is left to the back-fill).
  sql.runScript("CREATE TABLE tally_lines (done_id BIGINT NOT NULL)");
  sql.runScript("INSERT INTO tally_lines (done_id) SELECT COALESCE(MAX(id), 0) FROM log_lines");
}

}  // namespace zandle::service
