// A search on SQLite through its FTS5 text index (see text_search.h).
#include <algorithm>

#include "store/line_times.h"
#include "store/log_search_pages.h"
#include "store/query_helpers.h"
#include "store/text_search.h"

namespace zandle::service {

using namespace query;

namespace {

// Candidates a search takes from the text index at first, newest first, and
// at most before it takes them all: each try takes four times as many.
constexpr std::int64_t kFirstWalk = 256;
constexpr std::int64_t kLongestWalk = 65'536;

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
      return pageRows(sql, "(SELECT l.* FROM (" + indexed + ") AS c CROSS JOIN log_lines AS l ON l.id = c.rowid) AS l",
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

// The ids a search of one level reads: those of the blocks holding it; nothing
// for every id (no level, errors' own table, or no blocks to tell).
std::optional<Runs> searchedRuns(SqlConnection& sql, const LogFilter& filter, const TextIndexRead& index) {
  if (!filter.level || std::string_view(index.table) != kLineTextTable) return std::nullopt;
  return levelRuns(sql, *filter.level, filter.scope.range, index.indexedUpTo);
}

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
  Runs taken;
  for (auto run = runs->rbegin(); run != runs->rend() && (walk < 0 || walked.count < walk); ++run) {
    if (walk < 0) {
      taken.push_back(*run);
      continue;
    }
    std::vector<SqlValue> parameters;
    const std::string inRun = candidatesInRuns(index.table, phrase, {*run}, parameters);
    parameters.emplace_back(walk - walked.count);
    const SqlResult counted =
        sql.run("SELECT COUNT(*), MIN(rowid) FROM (" + inRun + " ORDER BY rowid DESC LIMIT ?) AS c", parameters);
    if (integerAt(counted.rows.at(0), 0) == 0) continue;
    walked.count += integerAt(counted.rows[0], 0);
    walked.lowest = integerAt(counted.rows[0], 1);
    taken.emplace_back(walked.lowest, run->second);
  }
  walked.sql = candidatesInRuns(index.table, phrase, taken, walked.parameters);
  return walked;
}

}  // namespace

// A search on SQLite with a text index: the index's newest candidates and the
// lines past its mark, more candidates while they hold too few for the page.
// Lines arrive about, not exactly, in id order: older ones the walk did not
// reach are added when they rank before its last. A search of one level
// reads only the blocks of ids holding the level's lines in the range: a
// burst of another level's lines holding the term is no walk. Both keep the
// LIKE, so the index changes no result.
SqlResult sqliteIndexedSearch(SqlConnection& sql, const LogFilter& filter, const std::string& phrase,
                              const TextIndexRead& index, std::size_t offset, std::size_t limit, std::size_t textChars,
                              std::int64_t newerLinesWalked) {
  if (limit == 0) return {};
  const std::optional<Runs> runs = searchedRuns(sql, filter, index);
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

bool sqliteFewCandidates(SqlConnection& sql, const LogFilter& filter, const std::string& phrase,
                         const TextIndexRead& index, std::int64_t most) {
  const std::optional<Runs> runs = searchedRuns(sql, filter, index);
  if (!runs) return fewCandidates(sql, index, phrase, most);
  std::vector<SqlValue> parameters;
  const std::string candidates = candidatesInRuns(index.table, phrase, *runs, parameters);
  return atMost(sql, candidates, parameters, most);
}

}  // namespace zandle::service
