#include "store/tool_index.h"

#include <string>

#include "common/logger.h"
#include "store/query_helpers.h"
#include "store/schema_steps.h"

namespace zandle::service {
using namespace query;

namespace {

// Lines a read takes past the mark at most; beyond, it filters log_lines.
constexpr std::int64_t kMostUnindexed = 100'000;
// Lines past the mark when the old index may go.
constexpr std::int64_t kCaughtUp = 100'000;
constexpr const char* kOldIndex = "log_lines_by_tool_time";

std::optional<LineMarks> marks(SqlConnection& sql) { return lineMarks(sql, "tool_index"); }

bool hasOldIndex(SqlConnection& sql) { return hasIndex(sql, kOldIndex); }

}  // namespace

std::optional<std::int64_t> toolIndexedUpTo(SqlConnection& sql) {
  const std::optional<LineMarks> now = marks(sql);
  if (!now || now->last - now->done > kMostUnindexed) return std::nullopt;
  return now->done;
}

bool indexToolLines(SqlConnection& sql, std::int64_t batchRows) {
  const std::optional<LineSlice> next = nextLines(sql, "tool_index", batchRows);
  if (!next) return false;
  // Sorted, so each page of the side table is written once.
  sql.run("INSERT INTO log_lines_by_tool (model, received_ms, id, level) SELECT model, received_ms, id, level FROM "
          "log_lines "
          "WHERE id > ? AND id <= ? ORDER BY model, received_ms, id",
          {next->done, next->upTo});
  sql.run("UPDATE tool_index SET done_id = ?", {next->upTo});
  return true;
}

bool toolTimeIndexKept(SqlConnection& sql) { return hasOldIndex(sql); }

bool retireToolTimeIndex(SqlConnection& sql) {
  const std::optional<LineMarks> now = marks(sql);
  if (!now || now->last - now->done > kCaughtUp || !hasOldIndex(sql)) return false;
  logInfo(std::string("store: dropping index ") + kOldIndex + ", replaced by log_lines_by_tool");
  sql.runScript(std::string(sql.dialect() == SqlDialect::Sqlite ? "DROP INDEX IF EXISTS "
                                                                 : "DROP INDEX CONCURRENTLY IF EXISTS ") +
                kOldIndex);
  return true;
}

}  // namespace zandle::service
