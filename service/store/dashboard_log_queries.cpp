// The log lines and tools parts of DashboardQueries.
#include <algorithm>

#include "store/dashboard_queries.h"
#include "store/line_times.h"
#include "store/query_helpers.h"
#include "store/text_blocks.h"
#include "store/text_search.h"
#include "store/tool_log_reads.h"

namespace zandle::service {
namespace {

using namespace query;

// PostgreSQL's planner takes a level's lines to be spread evenly in time and,
// for a page of one level, may walk the index by time through millions of
// newer lines of another (a tool's burst of notices). Written as ANY, the
// level is no constant of the order "level, time, id", which then only the
// index by level and time gives without a sort.
bool levelLeadsOrder(SqlDialect dialect, const LogFilter& filter) {
  return dialect == SqlDialect::Postgres && filter.level.has_value();
}

Condition logCondition(SqlDialect dialect, const LogFilter& filter, Condition where) {
  if (levelLeadsOrder(dialect, filter)) {
    where.add("level = ANY(ARRAY[CAST(? AS INTEGER)])", std::int64_t{*filter.level});
  } else if (filter.level) {
    where.add("level = ?", std::int64_t{*filter.level});
  }
  if (filter.search && !filter.search->empty()) {
    where.add("lower(text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  }
  return where;
}

// Candidates a search takes from the text index at first, newest first, and
// at most before it takes them all: each try takes four times as many.
constexpr std::int64_t kFirstWalk = 256;
constexpr std::int64_t kLongestWalk = 65'536;

// The page's rows, newest first: `from` names the rows (log_lines as l), `where` their condition.
SqlResult pageRows(SqlConnection& sql, const std::string& from, const Condition& where, std::size_t offset,
                   std::size_t limit, std::size_t textChars, bool levelFirst = false) {
  // Only the start of each text leaves the database: lines may be long.
  std::vector<SqlValue> parameters{limitValue(textChars + 1)};
  parameters.insert(parameters.end(), where.parameters.begin(), where.parameters.end());
  parameters.emplace_back(limitValue(limit));
  parameters.emplace_back(limitValue(offset));
  return sql.run("SELECT l.id, l.uin, l.level, l.model, l.version, substr(l.text, 1, ?), l.received_ms, l.address "
                 "FROM " + from + where.sql + " ORDER BY " + (levelFirst ? "l.level DESC, " : "") +
                     "l.received_ms DESC, l.id DESC LIMIT ? OFFSET ?",
                 parameters);
}

// Row order of a page: newest first, then the higher id.
bool comesBefore(const Row& a, const Row& b) {
  const std::int64_t aTime = integerAt(a, 6), bTime = integerAt(b, 6);
  return aTime != bTime ? aTime > bTime : integerAt(a, 0) > integerAt(b, 0);
}

// Adds `more` to the rows, newest first, and keeps the page: `wanted` rows from the top, less the `offset` first.
void mergeIntoPage(SqlResult& rows, const SqlResult& more, std::size_t offset, std::size_t wanted) {
  rows.rows.insert(rows.rows.end(), more.rows.begin(), more.rows.end());
  std::sort(rows.rows.begin(), rows.rows.end(), comesBefore);
  if (rows.rows.size() > wanted) rows.rows.resize(wanted);
  rows.rows.erase(rows.rows.begin(), rows.rows.begin() + static_cast<std::ptrdiff_t>(std::min(offset, rows.rows.size())));
}

// Most matches below the walked candidates read from the text index; more,
// and the walk by time goes on whatever it costs.
constexpr std::int64_t kMostOlderMatches = 20'000;

// Matching lines below id `below` (all indexed) newer than `after`: the lines
// out of id order a walk of the newest candidates missed. None where the
// blocks of ids say no line below is newer; walked by time when few lines are
// newer (up to the latest the blocks allow); else taken from the text index
// among the ids that may hold them when it has few such matches there: a term
// behind a burst of other lines costs no walk through the burst.
SqlResult olderMatches(SqlConnection& sql, const LogFilter& filter, const char* table, const std::string& phrase,
                       std::int64_t after, std::int64_t below, std::size_t wanted, std::size_t textChars,
                       std::int64_t newerLinesWalked) {
  const NewerBelow ids = newerBelow(sql, after, below, filter.level);
  if (ids.runs.empty()) return {};
  LogFilter bounded = filter;
  if (ids.latest) bounded.scope.range.toMillis = std::min(filter.scope.range.toMillis, *ids.latest + 1);
  // The walk by time reads one level's lines only, through its index.
  Condition newer;
  if (filter.level) newer.add("level = ?", std::int64_t{*filter.level});
  newer.add("received_ms > ?", after);
  newer.add("received_ms < ?", bounded.scope.range.toMillis);
  if (!atMost(sql, "SELECT 1 FROM log_lines" + newer.sql, newer.parameters, newerLinesWalked)) {
    Condition where;
    const std::string indexed = candidatesInRuns(table, phrase, ids.runs, where.parameters);
    if (atMost(sql, indexed, where.parameters, kMostOlderMatches)) {
      where.add("l.received_ms > ?", after);
      return pageRows(sql,
                      "(SELECT l.* FROM (" + indexed + ") AS c CROSS JOIN log_lines AS l ON l.id = c.rowid) AS l",
                      searchCondition(filter, where), 0, wanted, textChars);
    }
  }
  Condition older;
  older.add("l.received_ms > ?", after);
  // "+": the id bound must not lead the search away from the time indexes.
  older.add("+l.id < ?", below);
  return pageRows(sql, "log_lines AS l", searchCondition(bounded, older), 0, wanted, textChars);
}

using Runs = std::vector<std::pair<std::int64_t, std::int64_t>>;

// The text index's newest `walk` candidates (every one for a negative walk):
// a statement giving their rowids, its parameters, how many and the lowest.
struct Walked {
  std::string sql;
  std::vector<SqlValue> parameters;
  std::int64_t count = 0, lowest = 0;
};

// Among `runs` of ids when given (newest run first), else up to the index's line.
Walked newestCandidates(SqlConnection& sql, const TextIndexRead& index, const std::string& phrase,
                        const std::optional<Runs>& runs, std::int64_t walk) {
  Walked walked;
  if (!runs) {
    walked.sql = candidatesUpTo(index) + " ORDER BY rowid DESC LIMIT ?";
    walked.parameters = {phrase, index.indexedUpTo, walk};
    if (walk < 0) return walked;
    const SqlResult counted = sql.run("SELECT COUNT(*), MIN(rowid) FROM (" + walked.sql + ") AS c", walked.parameters);
    walked.count = integerAt(counted.rows.at(0), 0);
    if (counted.rows[0].at(1)) walked.lowest = integerAt(counted.rows[0], 1);
    return walked;
  }
  const std::string table = index.table;
  Runs taken;
  for (auto run = runs->rbegin(); run != runs->rend() && (walk < 0 || walked.count < walk); ++run) {
    if (walk < 0) {
      taken.push_back(*run);
      continue;
    }
    const SqlResult counted =
        sql.run("SELECT COUNT(*), MIN(rowid) FROM (SELECT rowid FROM " + table + " WHERE " + table +
                    " MATCH ? AND rowid BETWEEN ? AND ? ORDER BY rowid DESC LIMIT ?) AS c",
                {phrase, run->first, run->second, walk - walked.count});
    if (integerAt(counted.rows.at(0), 0) == 0) continue;
    walked.count += integerAt(counted.rows[0], 0);
    walked.lowest = integerAt(counted.rows[0], 1);
    taken.emplace_back(walked.lowest, run->second);
  }
  if (taken.empty()) taken.emplace_back(1, 0);  // none
  walked.sql = candidatesInRuns(index.table, phrase, taken, walked.parameters);
  return walked;
}

// A search on SQLite with a text index: the index's newest candidates and the
// lines past its mark, more candidates while they hold too few for the page.
// Lines arrive about, not exactly, in id order: older ones the walk did not
// reach are added when they rank before its last. A search of one level
// reads only the blocks of ids holding the level's lines in the range: a
// burst of another level's lines holding the term is no walk. Both keep the
// LIKE, so the index changes no result.
SqlResult indexedSearch(SqlConnection& sql, const LogFilter& filter, const std::string& phrase,
                        const TextIndexRead& index, std::size_t offset, std::size_t limit, std::size_t textChars,
                        std::int64_t newerLinesWalked) {
  if (limit == 0) return {};
  std::optional<Runs> runs;
  if (filter.level && std::string_view(index.table) == kLineTextTable) {
    runs = levelRuns(sql, *filter.level, filter.scope.range, index.indexedUpTo);
  }
  const std::size_t wanted = offset + limit;
  for (std::int64_t walk = std::max<std::int64_t>(kFirstWalk, 4 * static_cast<std::int64_t>(wanted));; walk *= 4) {
    const bool all = walk > kLongestWalk;
    // SQLite: a negative LIMIT is none.
    const Walked walked = newestCandidates(sql, index, phrase, runs, all ? -1 : walk);
    // CROSS JOIN keeps the index's candidates the outer loop; NOT INDEXED keeps
    // the lines past the mark read by id, not the whole range by time.
    const std::string candidates = "(SELECT l.* FROM (" + walked.sql +
                                   ") AS c CROSS JOIN log_lines AS l ON l.id = c.rowid "
                                   "UNION ALL SELECT * FROM log_lines NOT INDEXED WHERE id > ?) AS l";
    Condition where;
    where.parameters = walked.parameters;
    where.parameters.emplace_back(index.indexedUpTo);
    const Condition found = searchCondition(filter, where);
    // Every candidate taken: the page as it stands.
    if (all || walked.count < walk) return pageRows(sql, candidates, found, offset, limit, textChars);
    SqlResult top = pageRows(sql, candidates, found, 0, wanted, textChars);
    if (top.rows.size() < wanted) continue;
    mergeIntoPage(top,
                  olderMatches(sql, filter, index.table, phrase, integerAt(top.rows.back(), 6), walked.lowest, wanted,
                               textChars, newerLinesWalked),
                  offset, wanted);
    return top;
  }
}

// The newest `wanted` candidates in the side table of lowered texts, found
// the given way; nothing when stopped after `milliseconds`. The side table
// carries each line's time, tool and level, so every way reads narrow rows
// and only the page's lines are read whole.
std::optional<SqlResult> postgresCandidates(SqlConnection& sql, const LogFilter& filter, std::int64_t indexedUpTo,
                                            std::size_t wanted, std::size_t textChars, const SearchTry& way,
                                            bool levelIndexed) {
  const bool walk = way.way == SearchWay::Walk, index = way.way == SearchWay::Index;
  // A walk of one tool walks the side table by tool (it holds every line up to
  // the text index's mark); of one level, the index by level and time, as a
  // page of one level does. Either passes over a burst of another tool or level.
  const bool byTool = walk && filter.scope.model;
  const std::string k = byTool ? "b." : "t.";
  const std::string from = byTool ? "log_lines_by_tool AS b JOIN log_lines_text AS t ON t.id = b.id"
                                  : "log_lines_text AS t";
  // "+ 0" keeps the indexes by time and level out of a read from the trigram
  // index, order included; a walk is kept off the trigram index, which only
  // bitmap scans read, by the setting below. ("|| ''" would do it too, but the
  // planner then guesses the term rare and plans a costly parallel walk.)
  const std::string time = index ? "t.received_ms + 0" : k + "received_ms";
  const bool levelFirst = walk && !byTool && filter.level;
  Condition matching = sideTextCondition(filter, indexedUpTo, k, index, levelFirst, levelIndexed);
  const std::string order = std::string(levelFirst ? "t.level DESC, " : "") + time + " DESC, " + k + "id DESC";
  std::string candidates;
  if (walk && way.lines > 0) {
    // The newest lines first, then the term among them: no plan walks further.
    matching.parameters.insert(matching.parameters.end(),
                               {way.lines, containsPattern(*filter.search), limitValue(wanted)});
    candidates = "SELECT w.id FROM (SELECT " + k + "id AS id, " + k + "received_ms AS received_ms, t.text AS text "
                 "FROM " + from + matching.sql + " ORDER BY " + order + " LIMIT ?) AS w "
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
  // Too few among the newest lines says nothing of the older ones.
  if (rows && walk && way.lines > 0 && rows->rows.size() < wanted) return std::nullopt;
  return rows;
}

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
  const bool levelIndexed = index.ownLevelIndex;
  if (levelIndexed) {
    // The level's own trigram index gives its lines alone, which the blocks
    // tell from another level's only block by block: it goes before them.
    const auto blocks = std::find_if(order.begin(), order.end(), [](const SearchTry& t) {
      return t.way == SearchWay::Blocks;
    });
    const auto byIndex = std::find_if(blocks, order.end(), [](const SearchTry& t) { return t.way == SearchWay::Index; });
    if (byIndex != order.end()) std::rotate(blocks, byIndex, byIndex + 1);
  }
  std::optional<SqlResult> rows;
  for (std::size_t i = 0; i < order.size() && !rows; ++i) {
    SearchTry way = order[i];
    if (i + 1 == order.size()) way.milliseconds = 0;
    rows = way.way == SearchWay::Blocks ? blockSearch(sql, filter, indexedUpTo, wanted, textChars, way.milliseconds)
                                        : postgresCandidates(sql, filter, indexedUpTo, wanted, textChars, way,
                                                             levelIndexed);
  }
  if (!rows) rows = postgresCandidates(sql, filter, indexedUpTo, wanted, textChars, SearchTry{}, levelIndexed);
  // "+ 0" keeps the lines past the mark read by id, not the range by time or level.
  Condition past;
  past.add("l.id > ?", indexedUpTo);
  mergeIntoPage(*rows, pageRows(sql, "log_lines AS l", searchCondition(filter, past, true), 0, wanted, textChars),
                offset, wanted);
  return std::move(*rows);
}

}  // namespace

std::vector<SearchTry> defaultSearchTries() {
  // A walk finds a common term's page at once, and gets more time than the
  // trigram index, which takes seconds for a common term, whose lines it reads all;
  // the blocks that may hold the term find one behind a burst of other lines
  // (some 26 ms), and a level's behind another level's burst holding it, but
  // not a tool's behind another tool's: they are left soon for the trigram index.
  return {{SearchWay::Walk, 20, 2'048}, {SearchWay::Blocks, 60}, {SearchWay::Index, 150},
          {SearchWay::Walk, 300},         {SearchWay::Index, 1'000}, {SearchWay::Planner, 0}};
}

std::vector<LogRow> DashboardQueries::logPage(const LogFilter& filter, std::size_t offset, std::size_t limit,
                                              std::size_t textChars) {
  std::vector<LogRow> rows;
  if (!sql_) return rows;
  std::optional<std::string> phrase;
  std::optional<TextIndexRead> index;
  if (filter.search && !filter.search->empty()) phrase = trigramPhrase(*filter.search);
  if (phrase) index = textIndexFor(*sql_, filter.level);
  // A search SQLite's text index does not serve walks the tool's lines rather
  // than the whole range; so does one of a term with many candidates, whose
  // lines are found sooner among the tool's own than among every tool's.
  std::optional<SqlResult> byTool;
  const bool sqlite = sql_->dialect() == SqlDialect::Sqlite;
  if (!filter.search || filter.search->empty() || (!index && sqlite) ||
      (sqlite && filter.scope.model && !fewCandidates(*sql_, *index, *phrase, mostToolSearchCandidates_))) {
    byTool = toolLogPage(*sql_, filter, offset, limit, textChars);
  }
  SqlResult found;
  if (byTool) {
    found = std::move(*byTool);
  } else if (index && sqlite) {
    found = indexedSearch(*sql_, filter, *phrase, *index, offset, limit, textChars, newerLinesWalked_);
  } else if (index) {
    found = postgresIndexedSearch(*sql_, filter, *index, offset, limit, textChars, searchTries_);
  } else {
    const Condition where = logCondition(sql_->dialect(), filter, within(filter.scope, "received_ms"));
    const bool levelFirst = levelLeadsOrder(sql_->dialect(), filter);
    found = pageRows(*sql_, "log_lines AS l", where, offset, limit, textChars, levelFirst);
  }
  for (const Row& row : found.rows) {
    LogRow& added = rows.emplace_back();
    added.stored = {integerAt(row, 0), lineFrom(row)};
    std::string& text = added.stored.line.text;
    // Count code points: cut the last one off when there is one more than asked.
    std::size_t chars = 0, lastStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        ++chars;
        lastStart = i;
      }
    }
    if (chars > textChars) {
      text.resize(lastStart);
      added.textCut = true;
    }
  }
  return rows;
}

std::optional<StoredLogLine> DashboardQueries::logLine(std::int64_t id) {
  if (!sql_) return std::nullopt;
  const SqlResult result = sql_->run(
      "SELECT id, uin, level, model, version, text, received_ms, address FROM log_lines WHERE id = ?", {id});
  if (result.rows.empty()) return std::nullopt;
  return StoredLogLine{integerAt(result.rows[0], 0), lineFrom(result.rows[0])};
}

std::vector<StoredLogLine> DashboardQueries::logLines(const LogFilter& filter, RowPosition position,
                                                      std::size_t limit) {
  std::vector<StoredLogLine> lines;
  if (!sql_) return lines;
  if (const std::optional<SqlResult> byTool = toolLogLines(*sql_, filter, position, limit)) {
    for (const Row& row : byTool->rows) lines.push_back({integerAt(row, 0), lineFrom(row)});
    return lines;
  }
  const bool searching = filter.search && !filter.search->empty();
  const bool onFromLast = position.millis >= filter.scope.range.fromMillis;
  // The first read, which may have far to go, from the blocks that may hold the term.
  if (searching && !onFromLast) {
    if (const auto first = firstSearchPositions(filter, limit)) {
      std::vector<StoredLogLine> found = logLinesAmong(*first, position, limit);
      // Short only when a line was removed meanwhile: read as below, lest the export end there.
      if (found.size() == first->size()) return found;
    }
  }
  Condition where = logCondition(sql_->dialect(), filter, after(filter.scope, "received_ms", position));
  where.parameters.emplace_back(limitValue(limit));
  const char* order = levelLeadsOrder(sql_->dialect(), filter) ? " ORDER BY level, received_ms, id LIMIT ?"
                                                                : " ORDER BY received_ms, id LIMIT ?";
  const std::string sql =
      "SELECT id, uin, level, model, version, text, received_ms, address FROM log_lines" + where.sql + order;
  // For a term's LIKE PostgreSQL's planner expects a long walk and starts
  // parallel workers, which take milliseconds to come for a read of 64 rows.
  // Only the first read may walk far (to a term found late in the range):
  // the others go on from the last line found.
  const std::optional<SqlResult> rows =
      searching && onFromLast
          ? sql_->runWithin(sql, where.parameters, 0, "max_parallel_workers_per_gather = 0")
          : sql_->run(sql, where.parameters);
  if (!rows) return lines;
  for (const Row& row : rows->rows) lines.push_back({integerAt(row, 0), lineFrom(row)});
  return lines;
}

std::vector<ToolRow> DashboardQueries::tools(const std::optional<std::string>& search, std::size_t offset,
                                             std::size_t limit) {
  std::vector<ToolRow> rows;
  if (!sql_) return rows;
  Condition where;
  if (search && !search->empty()) where.add("lower(model) LIKE lower(?) ESCAPE '\\'", containsPattern(*search));
  where.parameters.emplace_back(limitValue(limit));
  where.parameters.emplace_back(limitValue(offset));
  // Tools that asked for their configuration, and configurations no tool has asked for yet.
  const std::string every =
      "SELECT t.model, t.last_version, t.first_seen_ms, t.last_seen_ms, "
      "CASE WHEN c.model IS NULL THEN 0 ELSE 1 END AS configured FROM tools t "
      "LEFT JOIN tool_config c ON c.model = t.model UNION ALL "
      "SELECT c.model, '', NULL, NULL, 1 FROM tool_config c WHERE NOT EXISTS (SELECT 1 FROM tools t WHERE "
      "t.model = c.model)";
  for (const Row& row : sql_->run("SELECT model, last_version, first_seen_ms, last_seen_ms, configured FROM (" + every +
                                      ") AS known" + where.sql +
                                      " ORDER BY configured DESC, last_seen_ms DESC NULLS LAST, model LIMIT ? OFFSET ?",
                                  where.parameters)
                            .rows) {
    ToolRow& tool = rows.emplace_back();
    tool.model = textAt(row, 0);
    tool.lastVersion = textAt(row, 1);
    if (row.at(2)) tool.firstSeenMillis = integerAt(row, 2);
    if (row.at(3)) tool.lastSeenMillis = integerAt(row, 3);
    tool.configured = integerAt(row, 4) != 0;
  }
  return rows;
}

std::vector<ToolConfig> DashboardQueries::toolConfigs(const std::optional<std::string>& afterModel,
                                                      std::size_t limit) {
  std::vector<ToolConfig> configs;
  if (!sql_) return configs;
  Condition where;
  if (afterModel) where.add("model > ?", *afterModel);
  where.parameters.emplace_back(limitValue(limit));
  for (const Row& row :
       sql_->run("SELECT model, warning_level, functions FROM tool_config" + where.sql + " ORDER BY model LIMIT ?",
                 where.parameters)
           .rows) {
    configs.push_back(toolConfigFrom(row));
  }
  return configs;
}

}  // namespace zandle::service
