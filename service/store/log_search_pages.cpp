#include "store/log_search_pages.h"

#include <algorithm>

namespace zandle::service {

using namespace query;

namespace {

// Row order of a page: newest first, then the higher id.
bool comesBefore(const Row& a, const Row& b) {
  const std::int64_t aTime = integerAt(a, 6), bTime = integerAt(b, 6);
  return aTime != bTime ? aTime > bTime : integerAt(a, 0) > integerAt(b, 0);
}

}  // namespace

SqlResult pageRows(SqlConnection& sql, const std::string& from, const Condition& where, std::size_t offset,
                   std::size_t limit, std::size_t textChars, bool levelFirst) {
  // Only the start of each text leaves the database: lines may be long.
  std::vector<SqlValue> parameters{limitValue(textChars + 1)};
  parameters.insert(parameters.end(), where.parameters.begin(), where.parameters.end());
  parameters.emplace_back(limitValue(limit));
  parameters.emplace_back(limitValue(offset));
  return sql.run(
      "SELECT l.id, l.uin, l.level, l.model, l.version, substr(l.text, 1, ?), l.received_ms, l.address "
      "FROM " +
          from + where.sql + " ORDER BY " + (levelFirst ? "l.level DESC, " : "") +
          "l.received_ms DESC, l.id DESC LIMIT ? OFFSET ?",
      parameters);
}

SqlResult linesWithIds(SqlConnection& sql, const std::vector<std::int64_t>& ids, std::optional<std::size_t> textChars) {
  // One statement text, padded with ids no line has (ids start at 1).
  constexpr std::size_t kIdsPerRead = 64;
  std::string statement = std::string("SELECT l.id, l.uin, l.level, l.model, l.version, ") +
                          (textChars ? "substr(l.text, 1, ?)" : "l.text") +
                          ", l.received_ms, l.address FROM log_lines AS l WHERE l.id IN (";
  for (std::size_t i = 0; i < kIdsPerRead; ++i) statement += i ? ", ?" : "?";
  statement += ")";
  SqlResult lines;
  for (std::size_t next = 0; next < ids.size(); next += kIdsPerRead) {
    std::vector<SqlValue> parameters;
    if (textChars) parameters.emplace_back(limitValue(*textChars + 1));
    for (std::size_t i = next; i < next + kIdsPerRead; ++i) parameters.emplace_back(i < ids.size() ? ids[i] : 0);
    const SqlResult found = sql.run(statement, parameters);
    for (std::size_t i = next; i < std::min(next + kIdsPerRead, ids.size()); ++i) {
      const auto line = std::find_if(found.rows.begin(), found.rows.end(),
                                     [&](const Row& row) { return integerAt(row, 0) == ids[i]; });
      if (line != found.rows.end()) lines.rows.push_back(*line);
    }
  }
  return lines;
}

void mergeIntoPage(SqlResult& rows, const SqlResult& more, std::size_t offset, std::size_t wanted) {
  rows.rows.insert(rows.rows.end(), more.rows.begin(), more.rows.end());
  std::sort(rows.rows.begin(), rows.rows.end(), comesBefore);
  if (rows.rows.size() > wanted) rows.rows.resize(wanted);
  rows.rows.erase(rows.rows.begin(),
                  rows.rows.begin() + static_cast<std::ptrdiff_t>(std::min(offset, rows.rows.size())));
}

}  // namespace zandle::service
