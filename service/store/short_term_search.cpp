#include "store/short_term_search.h"

#include <algorithm>
#include <bit>
#include <string>

#include "store/id_runs.h"
#include "store/line_times.h"
#include "store/log_search_pages.h"
#include "store/query_helpers.h"
#include "store/tool_log_reads.h"

namespace zandle::service {
namespace {

using namespace query;

// Blocks of 1,024 line ids a page of one tool reads at most (some 0.1 s).
constexpr std::size_t kMostBlocksOfATool = 128;

// SQLite: the first `wanted` positions of the filter's lines in the blocks
// that may hold its term, each run read by id.
std::optional<std::vector<RowPosition>> sqlitePositions(SqlConnection& sql, const LogFilter& filter, std::size_t wanted,
                                                        bool newestFirst, std::size_t mostBlocks = 0) {
  const std::string lowered = textAt(sql.run("SELECT lower(?)", {*filter.search}).rows.at(0), 0);
  const std::optional<std::vector<IdRun>> runs =
      shortTermRuns(sql, lowered, filter.scope.range, filter.level, newestFirst);
  if (!runs || (mostBlocks > 0 && runs->size() > mostBlocks)) return std::nullopt;
  const std::string order = newestFirst ? " DESC" : "";
  return readRuns(*runs, wanted, newestFirst, 0,
                  [&](const std::vector<std::int64_t>& firsts, const std::vector<std::int64_t>& lasts, std::int64_t) {
                    // Runs padded to a power of two with empty ones: few statement texts.
                    const std::size_t count = std::bit_ceil(firsts.size());
                    std::string values;
                    std::vector<SqlValue> parameters;
                    for (std::size_t i = 0; i < count; ++i) {
                      values += i ? ", (?, ?)" : "(?, ?)";
                      const bool run = i < firsts.size();
                      parameters.insert(parameters.end(), {run ? firsts[i] : 1, run ? lasts[i] : 0});
                    }
                    // CROSS JOIN keeps the runs the outer loop, each read by id.
                    Condition where = searchCondition(filter, {}, true);
                    parameters.insert(parameters.end(), where.parameters.begin(), where.parameters.end());
                    parameters.emplace_back(limitValue(wanted));
                    return std::optional<SqlResult>(
                        sql.run("WITH r (first_id, last_id) AS (VALUES " + values +
                                    ") SELECT l.received_ms, l.id FROM r CROSS JOIN log_lines AS l ON l.id BETWEEN "
                                    "r.first_id AND r.last_id" +
                                    where.sql + " ORDER BY l.received_ms" + order + ", l.id" + order + " LIMIT ?",
                                parameters));
                  });
}

// The page from the blocks that may hold the term; nothing when they cannot
// tell, or when more than `mostBlocks` (0: any number) may hold it.
std::optional<SqlResult> blocksPage(SqlConnection& sql, const LogFilter& filter, std::size_t offset, std::size_t limit,
                                    std::size_t textChars, std::size_t mostBlocks, bool newestWalked = false) {
  if (sql.dialect() == SqlDialect::Postgres) {
    return postgresShortTermSearch(sql, filter, offset, limit, textChars, mostBlocks, newestWalked);
  }
  if (limit == 0) return SqlResult{};
  const std::size_t wanted = offset + std::min(limit, SIZE_MAX - offset);
  std::optional<std::vector<RowPosition>> positions = sqlitePositions(sql, filter, wanted, true, mostBlocks);
  if (!positions) return std::nullopt;
  positions->erase(positions->begin(),
                   positions->begin() + static_cast<std::ptrdiff_t>(std::min(offset, positions->size())));
  std::vector<std::int64_t> ids;
  for (const RowPosition& position : *positions) ids.push_back(position.id);
  return linesWithIds(sql, ids, textChars);
}

}  // namespace

std::optional<SqlResult> shortTermPage(SqlConnection& sql, const LogFilter& filter, std::size_t offset,
                                       std::size_t limit, std::size_t textChars, std::int64_t mostToolLinesWalked) {
  if (!filter.search || filter.search->empty()) return std::nullopt;
  if (filter.scope.model) {
    // The blocks tell no tool's lines from another's: only a term few of them
    // may hold is read from them; else the tool is walked whole if it can be.
    if (auto few = blocksPage(sql, filter, offset, limit, textChars, kMostBlocksOfATool)) return few;
    if (auto walked = toolLogPage(sql, filter, offset, limit, textChars, {mostToolLinesWalked, true})) return walked;
  }
  // PostgreSQL has walked a tool's newest lines above.
  return blocksPage(sql, filter, offset, limit, textChars, 0, filter.scope.model.has_value());
}

std::optional<std::vector<RowPosition>> firstShortTermPositions(SqlConnection& sql, const LogFilter& filter,
                                                                std::size_t limit, std::size_t mostBlocks) {
  if (!filter.search || filter.search->empty() || sql.dialect() != SqlDialect::Sqlite) return std::nullopt;
  return sqlitePositions(sql, filter, limit, false, mostBlocks);
}

}  // namespace zandle::service
