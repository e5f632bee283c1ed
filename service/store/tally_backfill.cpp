#include "store/tally_backfill.h"

#include <algorithm>

#include "store/query_helpers.h"

namespace zandle::service {
using namespace query;

namespace {

void countRows(SqlConnection& sql, Tallies& tallies, const std::string& source, std::int64_t from, std::int64_t to) {
  if (source == "log_lines") {
    for (const Row& row :
         sql.run("SELECT model, version, level, received_ms FROM log_lines WHERE id > ? AND id <= ?", {from, to}).rows) {
      tallies.countLogLine(textAt(row, 0), textAt(row, 1), integerAt(row, 2), integerAt(row, 3));
    }
  } else if (source == "sessions") {
    for (const Row& row : sql.run("SELECT model, version, uin, entered_ms, left_ms FROM sessions WHERE id > ? AND "
                                  "id <= ?",
                                  {from, to})
                              .rows) {
      const std::int64_t entered = integerAt(row, 3);
      tallies.countSession(textAt(row, 0), textAt(row, 1), static_cast<std::uint32_t>(integerAt(row, 2)), entered);
      if (row.at(4)) tallies.countClosing(textAt(row, 0), entered, std::max<std::int64_t>(0, integerAt(row, 4) - entered));
    }
  } else {
    for (const Row& row : sql.run("SELECT model, version, function, level, received_ms FROM satisfaction WHERE id > ? "
                                  "AND id <= ?",
                                  {from, to})
                              .rows) {
      tallies.countAnswer(textAt(row, 0), textAt(row, 1), textAt(row, 2), integerAt(row, 3), integerAt(row, 4));
    }
  }
}

}  // namespace

bool backfillTallies(SqlConnection& sql, Tallies& tallies, std::int64_t batchRows) {
  const std::string lock = sql.dialect() == SqlDialect::Postgres ? " FOR UPDATE" : "";
  const SqlResult marks =
      sql.run("SELECT source, done_id, upto_id FROM tally_backfill WHERE done_id < upto_id ORDER BY source LIMIT 1" + lock);
  if (marks.rows.empty()) return false;
  const std::string source = textAt(marks.rows[0], 0);
  const std::int64_t done = integerAt(marks.rows[0], 1), upto = integerAt(marks.rows[0], 2);
  const std::int64_t next = std::min(upto, done + batchRows);
  countRows(sql, tallies, source, done, next);
  sql.run("UPDATE tally_backfill SET done_id = ? WHERE source = ?", {next, source});
  return true;
}

std::optional<int> backfillPercent(SqlConnection& sql) {
  const SqlResult sums = sql.run("SELECT SUM(done_id), SUM(upto_id) FROM tally_backfill WHERE done_id < upto_id");
  if (sums.rows.empty() || !sums.rows[0].at(1)) return std::nullopt;
  // Ids of the three tables count alike: a rough share, enough for a progress note.
  const SqlResult all = sql.run("SELECT SUM(done_id), SUM(upto_id) FROM tally_backfill");
  const std::int64_t done = integerAt(all.rows.at(0), 0), upto = std::max<std::int64_t>(1, integerAt(all.rows.at(0), 1));
  return static_cast<int>(std::min<std::int64_t>(99, done * 100 / upto));
}

bool BackfillMarks::counted(SqlConnection& sql, const std::string& source, std::int64_t id) {
  if (complete_) return true;
  if (!tallied_) {
    tallied_ = sql.dialect() == SqlDialect::Sqlite
                   ? !sql.run("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'tally_backfill'").rows.empty()
                   : !sql.run("SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() AND "
                              "table_name = 'tally_backfill'")
                          .rows.empty();
  }
  if (!*tallied_) return false;
  const SqlResult marks = sql.run("SELECT done_id, upto_id FROM tally_backfill WHERE source = ?", {source});
  if (marks.rows.empty()) return true;
  const std::int64_t done = integerAt(marks.rows[0], 0), upto = integerAt(marks.rows[0], 1);
  if (done >= upto && sql.run("SELECT 1 FROM tally_backfill WHERE done_id < upto_id").rows.empty()) complete_ = true;
  return id <= done || id > upto;
}

}  // namespace zandle::service
