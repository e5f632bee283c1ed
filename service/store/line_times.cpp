#include "store/line_times.h"

#include <algorithm>
#include <map>

#include "store/piece_filters.h"
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
  if (hasTable(sql, "line_times") && hasColumn(sql, "line_time_blocks", "earliest") &&
      hasColumn(sql, "line_time_blocks", "levels") && hasColumn(sql, "line_time_blocks", "pairs")) {
    return;
  }
  // A store from before starts at mark 0 and is filled beside the requests;
  // so are blocks that knew only their latest time, or not their levels or pieces.
  sql.runScript("DROP TABLE IF EXISTS line_time_blocks; DROP TABLE IF EXISTS line_times");
  sql.runScript("CREATE TABLE line_time_blocks (block INTEGER PRIMARY KEY, latest BIGINT NOT NULL, "
                "earliest BIGINT NOT NULL, levels BIGINT NOT NULL, pairs BLOB NOT NULL)");
  sql.runScript("CREATE TABLE line_times (done_id BIGINT NOT NULL)");
  sql.runScript("INSERT INTO line_times VALUES (0)");
  if (linesPastMark(sql, "line_times", kFilledAtStart + 1) > kFilledAtStart) return;
  while (indexLineTimes(sql, kFilledAtStart)) {
  }
}

bool indexLineTimes(SqlConnection& sql, std::int64_t batchRows) {
  if (!keepsBlocks(sql)) return false;
  struct Block {
    std::int64_t earliest = INT64_MAX, latest = INT64_MIN, levels = 0;
    std::string pairs = std::string(kPairFilterBits, '0');
  };
  std::map<std::int64_t, Block> blocks;
  std::int64_t last = integerAt(sql.run("SELECT done_id FROM line_times").rows.at(0), 0);
  readTextsInPieces(sql, "SELECT id, received_ms, level, lower(text) FROM log_lines WHERE id > ? ORDER BY id LIMIT ?",
                    last, batchRows, [&](const Row& row) {
                      Block& block = blocks[integerAt(row, 0) >> kBlockBits];
                      block.earliest = std::min(block.earliest, integerAt(row, 1));
                      block.latest = std::max(block.latest, integerAt(row, 1));
                      block.levels |= levelBit(integerAt(row, 2));
                      addPairFilterBits(block.pairs, textAt(row, 3));
                    });
  if (blocks.empty()) return false;
  // SQLite has no OR of blobs: a block the last batch began is added to here.
  std::map<std::int64_t, std::string> stored;
  for (const Row& row : sql.run("SELECT block, pairs FROM line_time_blocks WHERE block BETWEEN ? AND ?",
                                {blocks.begin()->first, blocks.rbegin()->first})
                            .rows) {
    stored[integerAt(row, 0)] = textAt(row, 1);
  }
  for (const auto& [number, block] : blocks) {
    std::string pairs = packedFilter(block.pairs);
    if (const auto before = stored.find(number); before != stored.end()) {
      for (std::size_t i = 0; i < pairs.size() && i < before->second.size(); ++i) pairs[i] |= before->second[i];
    }
    sql.run("INSERT INTO line_time_blocks (block, latest, earliest, levels, pairs) VALUES (?, ?, ?, ?, ?) "
            "ON CONFLICT (block) DO UPDATE SET latest = MAX(latest, excluded.latest), "
            "earliest = MIN(earliest, excluded.earliest), levels = levels | excluded.levels, pairs = excluded.pairs",
            {number, block.latest, block.earliest, block.levels, SqlBlob{std::move(pairs)}});
  }
  sql.run("UPDATE line_times SET done_id = ?", {last});
  return true;
}

void forgetEmptyLineBlocks(SqlConnection& sql) {
  if (keepsBlocks(sql)) forgetBlocksBelowFirstLine(sql, "line_time_blocks", "log_lines", "line_times", kBlockBits);
}

namespace {

using Runs = std::vector<std::pair<std::int64_t, std::int64_t>>;

// Runs of neighbouring blocks up to the one holding id `upTo` that meet
// `condition`, as their ids up to `upTo`, oldest first; kMostRuns + 1 at most.
Runs neighbouringRuns(SqlConnection& sql, std::int64_t upTo, const std::string& condition,
                      std::vector<SqlValue> parameters) {
  parameters.insert(parameters.begin(), upTo >> kBlockBits);
  parameters.emplace_back(kMostRuns + 1);
  // Consecutive blocks share a run: block less rank is the same along one.
  const SqlResult rows = sql.run(
      "SELECT MIN(block), MAX(block) FROM (SELECT block, block - ROW_NUMBER() OVER (ORDER BY block) AS run FROM "
      "line_time_blocks WHERE block <= ? AND " + condition + ") AS chosen GROUP BY run ORDER BY 1 LIMIT ?",
      parameters);
  Runs runs;
  for (const Row& row : rows.rows) {
    runs.emplace_back(integerAt(row, 0) << kBlockBits, std::min(upTo, ((integerAt(row, 1) + 1) << kBlockBits) - 1));
  }
  return runs;
}

// The ids past the mark up to `upTo`, joined to a run of their block's ids (no id twice).
void addPastMark(Runs& runs, std::int64_t mark, std::int64_t upTo) {
  if (mark >= upTo) return;
  if (!runs.empty() && runs.back().second >= mark) {
    runs.back().second = upTo;
  } else {
    runs.emplace_back(mark + 1, upTo);
  }
}

}  // namespace

NewerBelow newerBelow(SqlConnection& sql, std::int64_t after, std::int64_t below, std::optional<std::int32_t> level) {
  if (below <= 1) return {};
  if (!keepsBlocks(sql)) return {{{0, below - 1}}, std::nullopt};
  const SqlResult bounds = sql.run("SELECT (SELECT done_id FROM line_times), MAX(latest) FROM line_time_blocks "
                                   "WHERE block <= ?",
                                   {(below - 1) >> kBlockBits});
  NewerBelow newer;
  const std::int64_t mark = integerAt(bounds.rows.at(0), 0);
  if (bounds.rows[0].at(1) && mark + 1 >= below) newer.latest = integerAt(bounds.rows[0], 1);
  newer.runs = neighbouringRuns(sql, below - 1, "latest > ? AND (levels & ?) <> 0", {after, levelMask(level)});
  if (newer.runs.size() > kMostRuns) newer.runs = {{newer.runs.front().first, below - 1}};
  addPastMark(newer.runs, mark, below - 1);
  return newer;
}

std::optional<std::vector<std::pair<std::int64_t, std::int64_t>>> levelRuns(SqlConnection& sql, std::int32_t level,
                                                                             const TimeRange& range,
                                                                             std::int64_t upTo) {
  if (!keepsBlocks(sql) || upTo < 1) return std::nullopt;
  const std::int64_t mark = integerAt(sql.run("SELECT done_id FROM line_times").rows.at(0), 0);
  Runs runs = neighbouringRuns(sql, upTo, "latest >= ? AND earliest < ? AND (levels & ?) <> 0",
                               {range.fromMillis, range.toMillis, levelBit(level)});
  if (runs.size() > kMostRuns) return std::nullopt;
  addPastMark(runs, mark, upTo);
  return runs;
}

std::optional<std::vector<IdRun>> earliestFirstRuns(SqlConnection& sql, const TimeRange& range, std::int64_t upTo,
                                                    std::optional<std::int32_t> level) {
  if (!keepsBlocks(sql)) return std::nullopt;
  const std::int64_t mark = std::min(upTo, integerAt(sql.run("SELECT done_id FROM line_times").rows.at(0), 0));
  if (upTo - mark > kMostUnknown) return std::nullopt;
  const SqlResult blocks = sql.run("SELECT block, earliest FROM line_time_blocks WHERE block <= ? AND latest >= ? AND "
                                   "earliest < ? AND (levels & ?) <> 0 ORDER BY earliest, block",
                                   {mark >> kBlockBits, range.fromMillis, range.toMillis, levelMask(level)});
  return blockRuns(blocks, kBlockBits, mark, upTo);
}

std::optional<std::vector<IdRun>> shortTermRuns(SqlConnection& sql, std::string_view lowered,
                                                const TimeRange& range, std::optional<std::int32_t> level,
                                                bool newestFirst) {
  const std::optional<std::string> filter = pairFilter(lowered);
  if (!filter || !keepsBlocks(sql)) return std::nullopt;
  const SqlResult bounds = sql.run("SELECT (SELECT done_id FROM line_times), (SELECT MAX(id) FROM log_lines)");
  const std::int64_t mark = integerAt(bounds.rows.at(0), 0);
  const std::int64_t upTo = bounds.rows[0].at(1) ? integerAt(bounds.rows[0], 1) : 0;
  if (upTo - mark > kMostUnknown) return std::nullopt;
  // The bytes of the filters holding the term's bits, compared here: SQLite has no AND of blobs.
  const std::vector<std::size_t> positions = filterPositions(*filter);
  std::vector<std::size_t> bytes;
  for (std::size_t position : positions) {
    if (std::find(bytes.begin(), bytes.end(), position / 8) == bytes.end()) bytes.push_back(position / 8);
  }
  std::string columns;
  std::vector<SqlValue> parameters;
  for (std::size_t byte : bytes) {
    columns += ", substr(pairs, ?, 1)";
    parameters.emplace_back(static_cast<std::int64_t>(byte + 1));
  }
  parameters.insert(parameters.end(), {mark >> kBlockBits, range.fromMillis, range.toMillis, levelMask(level)});
  const SqlResult blocks = sql.run(std::string("SELECT block, ") + (newestFirst ? "latest" : "earliest") + columns +
                                       " FROM line_time_blocks WHERE block <= ? AND latest >= ? AND earliest < ? AND "
                                       "(levels & ?) <> 0 ORDER BY " +
                                       (newestFirst ? "latest DESC, block DESC" : "earliest, block"),
                                   parameters);
  SqlResult held;
  for (const Row& row : blocks.rows) {
    const bool holds = std::all_of(positions.begin(), positions.end(), [&](std::size_t position) {
      const std::size_t column = 2 + static_cast<std::size_t>(
                                         std::find(bytes.begin(), bytes.end(), position / 8) - bytes.begin());
      const std::string byte = textAt(row, column);
      return !byte.empty() && (static_cast<unsigned char>(byte[0]) & (1u << (position % 8))) != 0;
    });
    if (holds) held.rows.push_back(row);
  }
  return blockRuns(held, kBlockBits, mark, upTo);
}

std::optional<std::vector<RowPosition>> firstIndexedPositions(SqlConnection& sql, const LogFilter& filter,
                                                               const std::string& phrase, std::int64_t indexedUpTo,
                                                               std::size_t limit, std::int64_t milliseconds) {
  const std::optional<std::vector<IdRun>> runs = earliestFirstRuns(sql, filter.scope.range, indexedUpTo, filter.level);
  if (!runs) return std::nullopt;
  return readRuns(*runs, limit, false, milliseconds,
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
