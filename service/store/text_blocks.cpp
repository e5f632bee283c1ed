#include "store/text_blocks.h"

#include <algorithm>
#include <map>

#include "store/query_helpers.h"
#include "store/schema_steps.h"

namespace zandle::service {
using namespace query;

namespace {

// Lines past the blocks' mark a search reads as they are at most; beyond,
// the blocks are not used.
constexpr std::int64_t kMostUnsummarized = 65'536;

bool keepsBlocks(SqlConnection& sql) {
  return sql.dialect() == SqlDialect::Postgres && hasTable(sql, "text_blocks_mark");
}

}  // namespace

void addTextBlocks(SqlConnection& sql) {
  if (sql.dialect() != SqlDialect::Postgres) return;
  if (hasTable(sql, "text_blocks_mark") && hasColumn(sql, "text_blocks", "levels") &&
      hasColumn(sql, "text_blocks", "pairs")) {
    return;
  }
  // A store from before starts at mark 0 and is summarized beside the requests;
  // so are blocks that did not know their levels or short pieces.
  sql.runScript("DROP TABLE IF EXISTS text_blocks; DROP TABLE IF EXISTS text_blocks_mark");
  sql.runScript("CREATE TABLE text_blocks (block BIGINT PRIMARY KEY, earliest BIGINT NOT NULL, latest BIGINT NOT NULL, "
                "pieces BIT(" +
                std::to_string(kTextFilterBits) + ") NOT NULL, levels BIGINT NOT NULL, pairs BIT(" +
                std::to_string(kPairFilterBits) + ") NOT NULL)");
  sql.runScript("CREATE TABLE text_blocks_mark (done_id BIGINT NOT NULL)");
  sql.runScript("INSERT INTO text_blocks_mark VALUES (0)");
}

bool summarizeTextBlocks(SqlConnection& sql, std::int64_t batchRows) {
  if (!keepsBlocks(sql)) return false;
  struct Block {
    std::int64_t earliest = INT64_MAX, latest = INT64_MIN, levels = 0;
    std::string filter = std::string(kTextFilterBits, '0');
    std::string pairs = std::string(kPairFilterBits, '0');
  };
  std::map<std::int64_t, Block> blocks;
  std::int64_t last = integerAt(sql.run("SELECT done_id FROM text_blocks_mark").rows.at(0), 0);
  readTextsInPieces(sql,
                    "SELECT id, received_ms, text, level FROM log_lines_text WHERE id > ? AND id <= (SELECT done_id "
                    "FROM text_index) ORDER BY id LIMIT ?",
                    last, batchRows, [&](const Row& row) {
                      Block& block = blocks[integerAt(row, 0) >> kTextBlockBits];
                      block.earliest = std::min(block.earliest, integerAt(row, 1));
                      block.latest = std::max(block.latest, integerAt(row, 1));
                      addTextFilterBits(block.filter, textAt(row, 2));
                      addPairFilterBits(block.pairs, textAt(row, 2));
                      block.levels |= levelBit(integerAt(row, 3));
                    });
  if (blocks.empty()) return false;
  for (const auto& [number, block] : blocks) {
    sql.runLater("INSERT INTO text_blocks (block, earliest, latest, pieces, levels, pairs) VALUES (?, ?, ?, CAST(? AS "
                 "BIT(" + std::to_string(kTextFilterBits) + ")), ?, CAST(? AS BIT(" + std::to_string(kPairFilterBits) +
                     "))) ON CONFLICT (block) DO UPDATE SET earliest = LEAST(text_blocks.earliest, "
                     "excluded.earliest), latest = GREATEST(text_blocks.latest, excluded.latest), "
                     "pieces = text_blocks.pieces | excluded.pieces, levels = text_blocks.levels | excluded.levels, "
                     "pairs = text_blocks.pairs | excluded.pairs",
                 {number, block.earliest, block.latest, block.filter, block.levels, block.pairs});
  }
  sql.runLater("UPDATE text_blocks_mark SET done_id = ?", {last});
  sql.flush();
  return true;
}

void forgetEmptyTextBlocks(SqlConnection& sql) {
  if (keepsBlocks(sql)) forgetBlocksBelowFirstLine(sql, "text_blocks", "log_lines_text", "text_blocks_mark", kTextBlockBits);
}

std::optional<std::vector<IdRun>> textBlocksMayHold(SqlConnection& sql, std::string_view loweredTerm,
                                                    std::int64_t indexedUpTo, const TimeRange& range,
                                                    std::optional<std::int32_t> level, bool newestFirst) {
  // A term of fewer than three bytes by its short pieces.
  const bool shortTerm = loweredTerm.size() < 3;
  const std::optional<std::string> filter = shortTerm ? pairFilter(loweredTerm) : textFilter(loweredTerm);
  if (!filter || !keepsBlocks(sql)) return std::nullopt;
  const std::int64_t mark = std::min(indexedUpTo, integerAt(sql.run("SELECT done_id FROM text_blocks_mark").rows.at(0), 0));
  if (indexedUpTo - mark > kMostUnsummarized) return std::nullopt;
  const std::string bits = "CAST(? AS BIT(" + std::to_string(filter->size()) + "))";
  const std::string column = shortTerm ? "pairs" : "pieces";
  const SqlResult blocks = sql.run(
      std::string("SELECT block, ") + (newestFirst ? "latest" : "earliest") +
          " FROM text_blocks WHERE block <= ? AND latest >= ? AND earliest < ? AND (levels & ?) <> 0 AND (" + column +
          " & " + bits + ") = " + bits +
          (newestFirst ? " ORDER BY latest DESC, block DESC" : " ORDER BY earliest, block"),
      {mark >> kTextBlockBits, range.fromMillis, range.toMillis, levelMask(level), *filter, *filter});
  return blockRuns(blocks, kTextBlockBits, mark, indexedUpTo);
}

namespace {

// The first `wanted` positions of the filter's lines in the runs, newest or
// oldest first, each run read by id from the side table.
std::optional<std::vector<RowPosition>> readBlocks(SqlConnection& sql, const std::vector<IdRun>& runs,
                                                const LogFilter& filter, std::int64_t indexedUpTo, std::size_t wanted,
                                                bool newestFirst, std::int64_t milliseconds) {
  const std::string order = newestFirst ? " DESC" : "";
  return readRuns(runs, wanted, newestFirst, milliseconds,
                  [&](const std::vector<std::int64_t>& firsts, const std::vector<std::int64_t>& lasts,
                      std::int64_t left) {
                    Condition where = sideTextCondition(filter, indexedUpTo, "t.", true);
                    where.add("t.text LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
                    std::vector<SqlValue> parameters{arrayOf(firsts), arrayOf(lasts)};
                    parameters.insert(parameters.end(), where.parameters.begin(), where.parameters.end());
                    parameters.emplace_back(limitValue(wanted));
                    // Each run by id: "OFFSET 0" keeps the planner from merging the runs
                    // into one walk by time, and the setting off the trigram index (read
                    // only by bitmap scans), which guesses every term rare.
                    return sql.runWithin(
                        "SELECT c.received_ms, c.id FROM unnest(CAST(? AS BIGINT[]), CAST(? AS BIGINT[])) AS r "
                        "(first_id, last_id) CROSS JOIN LATERAL (SELECT t.received_ms, t.id FROM log_lines_text AS t" +
                            where.sql + " AND t.id BETWEEN r.first_id AND r.last_id OFFSET 0) AS c ORDER BY "
                            "c.received_ms" + order + ", c.id" + order + " LIMIT ?",
                        parameters, left, "enable_bitmapscan = off");
                  });
}

std::optional<std::vector<RowPosition>> blockPositions(SqlConnection& sql, const LogFilter& filter,
                                                    std::int64_t indexedUpTo, std::size_t wanted, bool newestFirst,
                                                    std::int64_t milliseconds, std::size_t mostBlocks = 0) {
  if (!filter.search) return std::nullopt;
  const std::string lowered = textAt(sql.run("SELECT lower(?)", {*filter.search}).rows.at(0), 0);
  const std::optional<std::vector<IdRun>> runs =
      textBlocksMayHold(sql, lowered, indexedUpTo, filter.scope.range, filter.level, newestFirst);
  if (!runs || (mostBlocks > 0 && runs->size() > mostBlocks)) return std::nullopt;
  return readBlocks(sql, *runs, filter, indexedUpTo, wanted, newestFirst, milliseconds);
}

std::vector<std::int64_t> idsOf(const std::vector<RowPosition>& positions) {
  std::vector<std::int64_t> ids;
  for (const RowPosition& position : positions) ids.push_back(position.id);
  return ids;
}

}  // namespace

std::optional<SqlResult> blockSearch(SqlConnection& sql, const LogFilter& filter, std::int64_t indexedUpTo,
                                     std::size_t wanted, std::size_t textChars, std::int64_t milliseconds,
                                     std::size_t mostBlocks) {
  const auto newest = blockPositions(sql, filter, indexedUpTo, wanted, true, milliseconds, mostBlocks);
  if (!newest) return std::nullopt;
  return sql.run("SELECT l.id, l.uin, l.level, l.model, l.version, substr(l.text, 1, ?), l.received_ms, l.address "
                 "FROM log_lines AS l WHERE l.id = ANY(CAST(? AS BIGINT[])) ORDER BY l.received_ms DESC, l.id DESC",
                 {limitValue(textChars + 1), arrayOf(idsOf(*newest))});
}

std::optional<std::vector<RowPosition>> firstBlockPositions(SqlConnection& sql, const LogFilter& filter,
                                                             std::int64_t indexedUpTo, std::size_t limit,
                                                             std::size_t mostBlocks, std::int64_t milliseconds) {
  return blockPositions(sql, filter, indexedUpTo, limit, false, milliseconds, mostBlocks);
}

}  // namespace zandle::service
