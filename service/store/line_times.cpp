#include "store/line_times.h"

#include <algorithm>

#include "store/query_helpers.h"
#include "store/schema_steps.h"
#include "store/text_search.h"

namespace zandle::service {
using namespace query;

namespace {

constexpr int kBlockBits = 10;
// A store this small has its blocks filled at once, before the service answers.
constexpr std::int64_t kFilledAtStart = 200'000;
// Runs of ids a search looks among at most; beyond, one from the first.
constexpr std::int64_t kMostRuns = 64;
// Lines past the mark an export's first read reads as they are at most;
// beyond, the blocks are not used.
constexpr std::int64_t kMostUnknown = 65'536;

bool keepsBlocks(SqlConnection& sql) { return sql.dialect() == SqlDialect::Sqlite && hasTable(sql, "line_times"); }

}  // namespace

void addLineTimes(SqlConnection& sql) {
  if (sql.dialect() != SqlDialect::Sqlite) return;
  if (hasTable(sql, "line_times") && hasColumn(sql, "line_time_blocks", "earliest")) return;
  // A store from before starts at mark 0 and is filled beside the requests;
  // so are blocks that knew only their latest time.
  sql.runScript("DROP TABLE IF EXISTS line_time_blocks; DROP TABLE IF EXISTS line_times");
  sql.runScript("CREATE TABLE line_time_blocks (block INTEGER PRIMARY KEY, latest BIGINT NOT NULL, "
                "earliest BIGINT NOT NULL)");
  sql.runScript("CREATE TABLE line_times (done_id BIGINT NOT NULL)");
  sql.runScript("INSERT INTO line_times VALUES (0)");
  if (linesPastMark(sql, "line_times", kFilledAtStart + 1) > kFilledAtStart) return;
  while (indexLineTimes(sql, kFilledAtStart)) {
  }
}

bool indexLineTimes(SqlConnection& sql, std::int64_t batchRows) {
  if (!keepsBlocks(sql)) return false;
  const SqlResult next = sql.run(
      "SELECT MAX(id) FROM (SELECT id FROM log_lines WHERE id > (SELECT done_id FROM line_times) ORDER BY id LIMIT ?)",
      {batchRows});
  if (next.rows.empty() || !next.rows[0].at(0)) return false;
  const std::int64_t upTo = integerAt(next.rows[0], 0);
  sql.run("INSERT INTO line_time_blocks (block, latest, earliest) SELECT id >> ?, MAX(received_ms), MIN(received_ms) "
          "FROM log_lines WHERE id > (SELECT done_id FROM line_times) AND id <= ? GROUP BY 1 "
          "ON CONFLICT (block) DO UPDATE SET latest = MAX(latest, excluded.latest), "
          "earliest = MIN(earliest, excluded.earliest)",
          {std::int64_t{kBlockBits}, upTo});
  sql.run("UPDATE line_times SET done_id = ?", {upTo});
  return true;
}

void forgetEmptyLineBlocks(SqlConnection& sql) {
  if (keepsBlocks(sql)) forgetBlocksBelowFirstLine(sql, "line_time_blocks", "log_lines", "line_times", kBlockBits);
}

NewerBelow newerBelow(SqlConnection& sql, std::int64_t after, std::int64_t below) {
  if (below <= 1) return {};
  if (!keepsBlocks(sql)) return {{{0, below - 1}}, std::nullopt};
  const std::int64_t lastBlock = (below - 1) >> kBlockBits;
  const SqlResult bounds = sql.run("SELECT (SELECT done_id FROM line_times), MAX(latest) FROM line_time_blocks "
                                   "WHERE block <= ?",
                                   {lastBlock});
  NewerBelow newer;
  const std::int64_t mark = integerAt(bounds.rows.at(0), 0);
  if (bounds.rows[0].at(1) && mark + 1 >= below) newer.latest = integerAt(bounds.rows[0], 1);
  // Consecutive blocks share a run: block less rank is the same along one.
  const SqlResult runs = sql.run(
      "SELECT MIN(block), MAX(block) FROM (SELECT block, block - ROW_NUMBER() OVER (ORDER BY block) AS run FROM "
      "line_time_blocks WHERE block <= ? AND latest > ?) AS newer GROUP BY run ORDER BY 1 LIMIT ?",
      {lastBlock, after, kMostRuns + 1});
  for (const Row& row : runs.rows) {
    newer.runs.emplace_back(integerAt(row, 0) << kBlockBits,
                            std::min(below - 1, ((integerAt(row, 1) + 1) << kBlockBits) - 1));
  }
  if (newer.runs.size() > kMostRuns) newer.runs = {{newer.runs.front().first, below - 1}};
  // The ids past the mark, joined to a run of their block's ids (no id twice).
  if (mark + 1 < below) {
    if (!newer.runs.empty() && newer.runs.back().second >= mark) {
      newer.runs.back().second = below - 1;
    } else {
      newer.runs.emplace_back(mark + 1, below - 1);
    }
  }
  return newer;
}

std::optional<std::vector<IdRun>> earliestFirstRuns(SqlConnection& sql, const TimeRange& range, std::int64_t upTo) {
  if (!keepsBlocks(sql)) return std::nullopt;
  const std::int64_t mark = std::min(upTo, integerAt(sql.run("SELECT done_id FROM line_times").rows.at(0), 0));
  if (upTo - mark > kMostUnknown) return std::nullopt;
  const SqlResult blocks = sql.run("SELECT block, earliest FROM line_time_blocks WHERE block <= ? AND latest >= ? AND "
                                   "earliest < ? ORDER BY earliest, block",
                                   {mark >> kBlockBits, range.fromMillis, range.toMillis});
  return blockRuns(blocks, kBlockBits, mark, upTo);
}

std::optional<std::vector<RowPosition>> firstIndexedPositions(SqlConnection& sql, const LogFilter& filter,
                                                               const std::string& phrase, std::int64_t indexedUpTo,
                                                               std::size_t limit) {
  const std::optional<std::vector<IdRun>> runs = earliestFirstRuns(sql, filter.scope.range, indexedUpTo);
  if (!runs) return std::nullopt;
  return readRuns(*runs, limit, false, 0,
                  [&](const std::vector<std::int64_t>& firsts, const std::vector<std::int64_t>& lasts, std::int64_t) {
                    // Neighbouring blocks in one range: one seek of the index each.
                    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
                    for (std::size_t i = 0; i < firsts.size(); ++i) ranges.emplace_back(firsts[i], lasts[i]);
                    std::sort(ranges.begin(), ranges.end());
                    std::vector<std::pair<std::int64_t, std::int64_t>> merged;
                    for (const auto& range : ranges) {
                      if (!merged.empty() && range.first <= merged.back().second + 1) {
                        merged.back().second = std::max(merged.back().second, range.second);
                      } else {
                        merged.push_back(range);
                      }
                    }
                    Condition where;
                    const std::string indexed = candidatesInRuns(kLineTextTable, phrase, merged, where.parameters);
                    where = searchCondition(filter, std::move(where));
                    where.parameters.emplace_back(limitValue(limit));
                    // CROSS JOIN keeps the candidates the outer loop.
                    return std::optional<SqlResult>(
                        sql.run("SELECT l.received_ms, l.id FROM (" + indexed +
                                    ") AS c CROSS JOIN log_lines AS l ON l.id = c.rowid" + where.sql +
                                    " ORDER BY l.received_ms, l.id LIMIT ?",
                                where.parameters));
                  });
}

}  // namespace zandle::service
