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

void mergeIntoPage(SqlResult& rows, const SqlResult& more, std::size_t offset, std::size_t wanted) {
  rows.rows.insert(rows.rows.end(), more.rows.begin(), more.rows.end());
  std::sort(rows.rows.begin(), rows.rows.end(), comesBefore);
  if (rows.rows.size() > wanted) rows.rows.resize(wanted);
  rows.rows.erase(rows.rows.begin(),
                  rows.rows.begin() + static_cast<std::ptrdiff_t>(std::min(offset, rows.rows.size())));
}

}  // namespace zandle::service
