#include "store/line_counts.h"

#include <limits>

#include "store/query_helpers.h"
#include "store/schema_steps.h"

namespace zandle::service {
using namespace query;

std::string slotOf(const std::string& millis) {
  const std::string step = std::to_string(kSlotMillis);
  return "(" + millis + " - ((" + millis + " % " + step + ") + " + step + ") % " + step + ")";
}

std::string levelSums() {
  std::string sums;
  for (std::size_t column = 0; column + 1 < kLevelColumns; ++column) {
    sums += (column ? ", " : "") + std::string("SUM(CASE WHEN level = ") + std::to_string(column) +
            " THEN 1 ELSE 0 END)";
  }
  return sums + ", SUM(CASE WHEN level < 0 OR level > " + std::to_string(kLevelColumns - 2) + " THEN 1 ELSE 0 END)";
}

bool countNewLines(SqlConnection& sql, Tallies& tallies, std::int64_t batchRows) {
  const std::optional<LineSlice> next = nextLines(sql, "tally_lines", batchRows);
  if (!next) return false;
  // A tool's lines of a half hour and level as one count: rows written once per fill, not per batch.
  for (const Row& row : sql.run("SELECT model, version, level, " + slotOf("received_ms") +
                                    " AS slot, COUNT(*) FROM log_lines WHERE id > ? AND id <= ? "
                                    "GROUP BY model, version, level, slot",
                                {next->done, next->upTo})
                            .rows) {
    tallies.countLogLine(textAt(row, 0), textAt(row, 1), integerAt(row, 2), integerAt(row, 3), integerAt(row, 4));
  }
  sql.run("UPDATE tally_lines SET done_id = ?", {next->upTo});
  return true;
}

std::int64_t linesCountedThrough(SqlConnection& sql) {
  if (!hasTable(sql, "tally_lines")) return std::numeric_limits<std::int64_t>::max();
  const SqlResult mark = sql.run("SELECT done_id FROM tally_lines");
  return mark.rows.empty() ? std::numeric_limits<std::int64_t>::max() : integerAt(mark.rows[0], 0);
}

}  // namespace zandle::service
