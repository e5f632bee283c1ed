// The log lines and tools parts of DashboardQueries.
#include "store/dashboard_queries.h"
#include "store/query_helpers.h"
#include "store/text_search.h"

namespace zandle::service {
namespace {

using namespace query;

Condition logCondition(const LogFilter& filter, Condition where) {
  if (filter.level) where.add("level = ?", std::int64_t{*filter.level});
  if (filter.search && !filter.search->empty()) {
    where.add("lower(text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  }
  return where;
}

LogLine lineFrom(const Row& row) {
  LogLine line;
  line.uin = static_cast<std::int32_t>(integerAt(row, 1));
  line.level = static_cast<std::int32_t>(integerAt(row, 2));
  line.model = textAt(row, 3);
  line.version = textAt(row, 4);
  line.text = textAt(row, 5);
  line.arrival = {integerAt(row, 6), textAt(row, 7)};
  return line;
}


// Newest lines of the page's range looked through for a search term before the
// text index is asked: a common term fills its page from them, a rare one's
// candidates are few in the index.
constexpr std::size_t kSearchWindow = 4'000;

// The page's rows, newest first: `from` names the rows (log_lines as l), `where` their condition.
SqlResult pageRows(SqlConnection& sql, const std::string& from, const Condition& where, std::size_t offset,
                   std::size_t limit, std::size_t textChars) {
  // Only the start of each text leaves the database: lines may be long.
  std::vector<SqlValue> parameters{limitValue(textChars + 1)};
  parameters.insert(parameters.end(), where.parameters.begin(), where.parameters.end());
  parameters.emplace_back(limitValue(limit));
  parameters.emplace_back(limitValue(offset));
  return sql.run("SELECT l.id, l.uin, l.level, l.model, l.version, substr(l.text, 1, ?), l.received_ms, l.address "
                 "FROM " + from + where.sql + " ORDER BY l.received_ms DESC, l.id DESC LIMIT ? OFFSET ?",
                 parameters);
}

// A search on SQLite with a text index: the newest lines of the range first,
// then, when they hold too few, the index's candidates and the lines past its
// mark. Both keep the LIKE, so the index changes no result.
SqlResult indexedSearch(SqlConnection& sql, const LogFilter& filter, const std::string& phrase,
                        std::int64_t indexedUpTo, std::size_t offset, std::size_t limit, std::size_t textChars) {
  Condition range = within(filter.scope, "received_ms");
  if (filter.level) range.add("level = ?", std::int64_t{*filter.level});
  std::vector<SqlValue> windowParameters = range.parameters;
  windowParameters.emplace_back(limitValue(kSearchWindow));
  const std::string window = "(SELECT * FROM log_lines" + range.sql +
                             " ORDER BY received_ms DESC, id DESC LIMIT ?) AS l";
  Condition like;
  like.parameters = windowParameters;
  like.add("lower(l.text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  SqlResult recent = pageRows(sql, window, like, offset, limit, textChars);
  if (recent.rows.size() >= limit) return recent;
  const SqlResult covered = sql.run("SELECT COUNT(*) FROM (SELECT 1 FROM log_lines" + range.sql +
                                        " ORDER BY received_ms DESC, id DESC LIMIT ?) AS w",
                                    windowParameters);
  if (integerAt(covered.rows.at(0), 0) < static_cast<std::int64_t>(kSearchWindow)) return recent;
  // CROSS JOIN keeps the index's candidates the outer loop.
  const std::string candidates =
      "(SELECT l.* FROM log_text CROSS JOIN log_lines AS l ON l.id = log_text.rowid WHERE log_text MATCH ? AND "
      "l.id <= ? UNION ALL SELECT * FROM log_lines WHERE id > ?) AS l";
  Condition where;
  where.parameters = {phrase, indexedUpTo, indexedUpTo};
  where.add("l.received_ms >= ?", filter.scope.range.fromMillis);
  where.add("l.received_ms < ?", filter.scope.range.toMillis);
  if (filter.scope.model) where.add("l.model = ?", *filter.scope.model);
  if (filter.level) where.add("l.level = ?", std::int64_t{*filter.level});
  where.add("lower(l.text) LIKE lower(?) ESCAPE '\\'", containsPattern(*filter.search));
  return pageRows(sql, candidates, where, offset, limit, textChars);
}

}  // namespace

std::vector<LogRow> DashboardQueries::logPage(const LogFilter& filter, std::size_t offset, std::size_t limit,
                                              std::size_t textChars) {
  std::vector<LogRow> rows;
  if (!sql_) return rows;
  std::optional<std::string> phrase;
  std::optional<std::int64_t> indexedUpTo;
  if (filter.search && !filter.search->empty()) phrase = trigramPhrase(*filter.search);
  if (phrase) indexedUpTo = textIndexedUpTo(*sql_);
  const SqlResult found =
      indexedUpTo ? indexedSearch(*sql_, filter, *phrase, *indexedUpTo, offset, limit, textChars)
                  : pageRows(*sql_, "log_lines AS l", logCondition(filter, within(filter.scope, "received_ms")), offset,
                             limit, textChars);
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
  Condition where = logCondition(filter, after(filter.scope, "received_ms", position));
  where.parameters.emplace_back(limitValue(limit));
  for (const Row& row : sql_->run("SELECT id, uin, level, model, version, text, received_ms, address FROM log_lines" +
                                      where.sql + " ORDER BY received_ms, id LIMIT ?",
                                  where.parameters)
                            .rows) {
    lines.push_back({integerAt(row, 0), lineFrom(row)});
  }
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
