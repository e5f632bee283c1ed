#include "store/text_search.h"

#include <algorithm>

#include "store/query_helpers.h"

namespace zandle::service {
using namespace query;

namespace {

// Lines a search reads past the index's mark at most; beyond, it scans.
constexpr std::int64_t kMostUnindexed = 100'000;
// Characters indexed at most in one call (about 30 ms): at least one line.
constexpr std::int64_t kSliceCharacters = 40'000;

bool hasTextIndex(SqlConnection& sql) {
  return sql.dialect() == SqlDialect::Sqlite &&
         !sql.run("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'text_index'").rows.empty();
}

}  // namespace

std::optional<std::string> trigramPhrase(std::string_view term) {
  const auto characters = std::count_if(term.begin(), term.end(),
                                        [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
  if (characters < 3) return std::nullopt;
  std::string phrase = "\"";
  for (char c : term) {
    if (c == '"') phrase += '"';
    phrase += c;
  }
  return phrase + "\"";
}

std::optional<std::int64_t> textIndexedUpTo(SqlConnection& sql) {
  if (!hasTextIndex(sql)) return std::nullopt;
  const SqlResult marks =
      sql.run("SELECT done_id, (SELECT COALESCE(MAX(id), 0) FROM log_lines) FROM text_index");
  if (marks.rows.empty()) return std::nullopt;
  const std::int64_t done = integerAt(marks.rows[0], 0), last = integerAt(marks.rows[0], 1);
  if (last - done > kMostUnindexed) return std::nullopt;
  return done;
}

bool indexNewLines(SqlConnection& sql, std::int64_t batchRows) {
  if (!hasTextIndex(sql)) return false;
  const SqlResult lines = sql.run(
      "SELECT id, length(text) FROM log_lines WHERE id > (SELECT done_id FROM text_index) ORDER BY id LIMIT ?",
      {batchRows});
  if (lines.rows.empty()) return false;
  // Indexing costs by the character: a slice of long lines stops early.
  std::int64_t characters = 0, last = 0;
  for (const Row& row : lines.rows) {
    last = integerAt(row, 0);
    characters += integerAt(row, 1);
    if (characters >= kSliceCharacters) break;
  }
  sql.run("INSERT INTO log_text (rowid, text) SELECT id, text FROM log_lines WHERE id > (SELECT done_id FROM "
          "text_index) AND id <= ?",
          {last});
  sql.run("UPDATE text_index SET done_id = ?", {last});
  return true;
}

}  // namespace zandle::service
