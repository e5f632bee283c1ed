// The log lines and tools parts of DashboardQueries.
#include <algorithm>

#include "store/dashboard_queries.h"
#include "store/log_search_pages.h"
#include "store/query_helpers.h"
#include "store/short_term_search.h"
#include "store/text_search.h"
#include "store/tool_log_reads.h"

namespace zandle::service {
namespace {

using namespace query;

// Blocks of 1,024 line ids an export's first read of a tool's term too short
// for the text index reads at most, every tool's lines in them (some 0.1 s);
// a rare term's, where a walk of a large tool's lines looks every one of them
// up (seconds). A longer term's are read for as long, whatever their number:
// a term of the tool's found late in the range, behind every other tool's
// lines, is found there soon (a walk looked up every line of the tool before).
constexpr std::size_t kMostBlocksOfAToolsTerm = 128;
constexpr std::int64_t kToolsFirstReadMilliseconds = 100;

// PostgreSQL orders a page of one level "level, time, id" (levelLeadingOrder).
bool levelLeadsOrder(SqlDialect dialect, const LogFilter& filter) {
  return dialect == SqlDialect::Postgres && filter.level.has_value();
}

Condition logCondition(SqlDialect dialect, const LogFilter& filter, Condition where) {
  if (levelLeadsOrder(dialect, filter)) {
    where.add(levelLeadingOrder("level"), std::int64_t{*filter.level});
  } else if (filter.level) {
    where.add("level = ?", std::int64_t{*filter.level});
  }
  if (filter.search && !filter.search->empty()) {
    where.add("lower(text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  }
  return where;
}

}  // namespace

std::vector<LogRow> DashboardQueries::logPage(const LogFilter& filter, std::size_t offset, std::size_t limit,
                                              std::size_t textChars) {
  std::vector<LogRow> rows;
  if (!sql_) return rows;
  std::optional<std::string> phrase;
  std::optional<TextIndexRead> index;
  const bool searching = filter.search && !filter.search->empty();
  if (searching) phrase = trigramPhrase(*filter.search);
  if (phrase) index = textIndexFor(*sql_, filter.level, filter.scope.model.has_value());
  const bool sqlite = sql_->dialect() == SqlDialect::Sqlite;
  std::optional<SqlResult> byTool;
  if (searching && !phrase) {
    // A term too short for the text index: the blocks of ids that may hold it.
    byTool = shortTermPage(*sql_, filter, offset, limit, textChars, mostToolLinesWalked_);
    if (!byTool) byTool = toolLogPage(*sql_, filter, offset, limit, textChars, {mostToolLinesWalked_, false});
  } else if (!searching || !index ||
             (sqlite && filter.scope.model &&
              !sqliteFewCandidates(*sql_, filter, *phrase, *index, mostToolSearchCandidates_))) {
    // A search the text index does not serve walks the tool's lines rather
    // than the whole range; so does one of a term with many candidates on SQLite
    // (in the blocks holding its level, if it has one), whose lines are found
    // sooner among the tool's own than among every tool's; and on PostgreSQL one
    // of a tool with few lines in the range, walked whole, unless the trigram
    // index holds the tool's lines apart.
    byTool = toolLogPage(*sql_, filter, offset, limit, textChars, {mostToolLinesWalked_, false});
  } else if (!sqlite && filter.scope.model && !index->keyed) {
    byTool = toolLogPage(*sql_, filter, offset, limit, textChars,
                         {std::min(mostToolLinesWalked_, kToolLinesBeforeIndex), true});
  }
  SqlResult found;
  if (byTool) {
    found = std::move(*byTool);
  } else if (index && sqlite) {
    found = sqliteIndexedSearch(*sql_, filter, *phrase, *index, offset, limit, textChars, newerLinesWalked_);
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
  const bool searching = filter.search && !filter.search->empty();
  const bool onFromLast = position.millis >= filter.scope.range.fromMillis;
  // The first read, which may have far to go, from the blocks that may hold
  // the term; a tool's for a while (a short term's only when they are few),
  // then its lines are walked.
  if (searching && !onFromLast) {
    if (const auto first = firstSearchPositions(filter, limit, filter.scope.model ? kMostBlocksOfAToolsTerm : 0,
                                                filter.scope.model ? kToolsFirstReadMilliseconds : 0)) {
      std::vector<StoredLogLine> found = logLinesAmong(*first, position, limit);
      // Short only when a line was removed meanwhile: read as below, lest the export end there.
      if (found.size() == first->size()) return found;
    }
  }
  if (const std::optional<SqlResult> byTool = toolLogLines(*sql_, filter, position, limit, mostToolLinesWalked_)) {
    for (const Row& row : byTool->rows) lines.push_back({integerAt(row, 0), lineFrom(row)});
    return lines;
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
