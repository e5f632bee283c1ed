// A search on PostgreSQL through the side table of lowered texts, tried in
// several ways in turn (see SearchTry).
#include <algorithm>

#include "store/log_search_pages.h"
#include "store/query_helpers.h"
#include "store/text_blocks.h"
#include "store/text_search.h"
#include "store/tool_log_reads.h"

namespace zandle::service {

using namespace query;

namespace {

// The newest `wanted` candidates in the side table of lowered texts, found
// the given way; nothing when stopped after `milliseconds`. The side table
// carries each line's time, tool and level, so every way reads narrow rows
// and only the page's lines are read whole.
std::optional<SqlResult> postgresCandidates(SqlConnection& sql, const LogFilter& filter, const TextIndexRead& read,
                                            std::size_t wanted, std::size_t textChars, const SearchTry& way) {
  const std::int64_t indexedUpTo = read.indexedUpTo;
  const bool walk = way.way == SearchWay::Walk, index = way.way == SearchWay::Index;
  // A walk of one tool walks the side table by tool (it holds every line up to
  // the text index's mark); of one level, the index by level and time, as a
  // page of one level does. Either passes over a burst of another tool or level.
  const bool byTool = walk && filter.scope.model;
  const std::string k = byTool ? "b." : "t.";
  const std::string from =
      byTool ? "log_lines_by_tool AS b JOIN log_lines_text AS t ON t.id = b.id" : "log_lines_text AS t";
  // "+ 0" keeps the indexes by time and level out of a read from the trigram
  // index, order included; a walk is kept off the trigram index, which only
  // bitmap scans read, by the setting below. ("|| ''" would do it too, but the
  // planner then guesses the term rare and plans a costly parallel walk.)
  const std::string time = index ? "t.received_ms + 0" : k + "received_ms";
  const bool levelFirst = walk && !byTool && filter.level;
  Condition matching = sideTextCondition(filter, indexedUpTo, k, index, levelFirst, read.ownLevelIndex, read.keyed);
  const std::string order = std::string(levelFirst ? "t.level DESC, " : "") + time + " DESC, " + k + "id DESC";
  std::string candidates;
  const Condition walked = matching;
  if (walk && way.lines > 0) {
    // The newest lines first, then the term among them: no plan walks further.
    matching.parameters.insert(matching.parameters.end(),
                               {way.lines, containsPattern(*filter.search), limitValue(wanted)});
    candidates = "SELECT w.id FROM (SELECT " + k + "id AS id, " + k + "received_ms AS received_ms, t.text AS text " +
                 "FROM " + from + matching.sql + " ORDER BY " + order + " LIMIT ?) AS w " +
                 "WHERE w.text LIKE lower(?) ESCAPE '\\' ORDER BY w.received_ms DESC, w.id DESC LIMIT ?";
  } else {
    matching.add("t.text LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
    matching.parameters.emplace_back(limitValue(wanted));
    candidates = "SELECT " + k + "id AS id FROM " + from + matching.sql + " ORDER BY " + order + " LIMIT ?";
  }
  std::vector<SqlValue> parameters{limitValue(textChars + 1)};
  parameters.insert(parameters.end(), matching.parameters.begin(), matching.parameters.end());
  const std::string statement =
      "SELECT l.id, l.uin, l.level, l.model, l.version, substr(l.text, 1, ?), l.received_ms, l.address FROM (" +
      candidates + ") AS c JOIN log_lines AS l ON l.id = c.id";
  std::optional<SqlResult> rows =
      way.way == SearchWay::Planner && way.milliseconds == 0
          ? sql.run(statement, parameters)
          : sql.runWithin(statement, parameters, way.milliseconds,
                          // Parallel workers take milliseconds to come for a walk of a few thousand lines.
                          walk ? "enable_bitmapscan = off; max_parallel_workers_per_gather = 0" : "");
  // Too few among the newest lines says nothing of the older ones, unless
  // they were all there are (a rare tool's).
  if (rows && walk && way.lines > 0 && rows->rows.size() < wanted) {
    std::vector<SqlValue> counted = walked.parameters;
    counted.emplace_back(way.lines);
    const std::optional<SqlResult> lines = sql.runWithin(
        "SELECT COUNT(*) FROM (SELECT 1 FROM " + from + walked.sql + " LIMIT ?) AS w", counted, way.milliseconds);
    if (!lines || integerAt(lines->rows.at(0), 0) >= way.lines) return std::nullopt;
  }
  return rows;
}

// The lines past the text index's mark, read by id ("+ 0" keeps them off the
// indexes by time and level), merged into the page.
void addLinesPastMark(SqlConnection& sql, SqlResult& rows, const LogFilter& filter, std::int64_t indexedUpTo,
                      std::size_t offset, std::size_t wanted, std::size_t textChars) {
  Condition past;
  past.add("l.id > ?", indexedUpTo);
  mergeIntoPage(rows, pageRows(sql, "log_lines AS l", searchCondition(filter, past, true), 0, wanted, textChars),
                offset, wanted);
}

}  // namespace

// A search on PostgreSQL with its text index: the ways in turn, until one
// finishes (the last is let finish); the lines past the mark are read by id
// and merged in.
SqlResult postgresIndexedSearch(SqlConnection& sql, const LogFilter& filter, const TextIndexRead& index,
                                std::size_t offset, std::size_t limit, std::size_t textChars,
                                const std::vector<SearchTry>& tries) {
  if (limit == 0) return {};
  const std::size_t wanted = offset + limit;
  const std::int64_t indexedUpTo = index.indexedUpTo;
  std::vector<SearchTry> order = tries;
  if (index.ownLevelIndex || (index.keyed && filter.scope.model)) {
    // The level's own trigram index gives its lines alone, and one keyed by
    // tool a tool's, which the blocks tell from another level's only block by
    // block, and from another tool's not at all: it goes before them. (A
    // level's common term is found sooner by the blocks than by the index.)
    const auto blocks =
        std::find_if(order.begin(), order.end(), [](const SearchTry& t) { return t.way == SearchWay::Blocks; });
    const auto byIndex =
        std::find_if(blocks, order.end(), [](const SearchTry& t) { return t.way == SearchWay::Index; });
    if (byIndex != order.end()) std::rotate(blocks, byIndex, byIndex + 1);
  }
  std::optional<SqlResult> rows;
  for (std::size_t i = 0; i < order.size() && !rows; ++i) {
    SearchTry way = order[i];
    if (i + 1 == order.size()) way.milliseconds = 0;
    if (way.way == SearchWay::ToolWalk) {
      // Every line of the tool: those past the text index's mark too.
      if (!filter.scope.model) continue;
      auto walked = toolLogPage(sql, filter, offset, limit, textChars, {way.lines, true});
      if (walked) return std::move(*walked);
      continue;
    }
    rows = way.way == SearchWay::Blocks
               ? blockSearch(sql, filter, indexedUpTo, wanted, textChars, way.milliseconds)
               : postgresCandidates(sql, filter, index, wanted, textChars, way);
  }
  if (!rows) rows = postgresCandidates(sql, filter, index, wanted, textChars, SearchTry{});
  addLinesPastMark(sql, *rows, filter, indexedUpTo, offset, wanted, textChars);
  return std::move(*rows);
}

std::optional<SqlResult> postgresShortTermSearch(SqlConnection& sql, const LogFilter& filter, std::size_t offset,
                                                 std::size_t limit, std::size_t textChars, std::size_t mostBlocks,
                                                 bool newestWalked) {
  if (limit == 0) return SqlResult{};
  const std::optional<TextIndexRead> index = textIndexFor(sql, filter.level, filter.scope.model.has_value());
  if (!index) return std::nullopt;
  const std::size_t wanted = offset + limit;
  // The newest lines find a common term at once; the trigram index serves no such term.
  std::optional<SqlResult> rows;
  if (!newestWalked) rows = postgresCandidates(sql, filter, *index, wanted, textChars, {SearchWay::Walk, 20, 2'048});
  if (!rows) rows = blockSearch(sql, filter, index->indexedUpTo, wanted, textChars, 0, mostBlocks);
  if (!rows) return std::nullopt;
  addLinesPastMark(sql, *rows, filter, index->indexedUpTo, offset, wanted, textChars);
  return rows;
}

std::vector<SearchTry> defaultSearchTries() {
  // A walk finds a common term's page at once, and gets more time than the
  // trigram index, which takes seconds for a common term, whose lines it reads all;
  // the blocks that may hold the term find one behind a burst of other lines
  // (some 26 ms), and a level's behind another level's burst holding it, but
  // not a tool's behind another tool's: they are left soon for the trigram index.
  // A tool with at most 65,536 lines in the range is then walked whole (at
  // most some 0.5 s): a term common in other tools' lines ran the trigram
  // index's tries out (a 35,000-line tool with "benchmark": 1.3 s).
  return {{SearchWay::Walk, 20, 2'048},     {SearchWay::Blocks, 60}, {SearchWay::Index, 150},
          {SearchWay::ToolWalk, 0, 65'536}, {SearchWay::Walk, 300},  {SearchWay::Index, 1'000},
          {SearchWay::Planner, 0}};
}

}  // namespace zandle::service
