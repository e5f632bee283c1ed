#include "store/text_search.h"

#include <algorithm>

#include "store/query_helpers.h"
#include "store/schema_steps.h"
#include "store/tool_index.h"

namespace zandle::service {
using namespace query;

namespace {

// Lines a search reads past the index's mark at most; beyond, it scans.
constexpr std::int64_t kMostUnindexed = 100'000;
// Characters indexed at most in one call (about 30 ms): at least one line.
constexpr std::int64_t kSliceCharacters = 40'000;

bool hasTextIndex(SqlConnection& sql) { return hasTable(sql, "text_index"); }

// PostgreSQL: the lowered text of the lines past the mark, up to `batchRows`
// of them and no further than the side table by tool (every line up to its
// mark is committed), into the side table; in the caller's transaction.
bool indexNewPostgresLines(SqlConnection& sql, std::int64_t batchRows) {
  // A removal waits for the fill: a line removed meanwhile would leave its text behind.
  // A fill already under way (the writer's or the indexer's) is left to go on alone.
  const SqlResult locked = sql.run("SELECT pg_try_advisory_xact_lock(?)", {kLogTextsLock});
  if (locked.rows.empty() || textAt(locked.rows[0], 0) != "t") return false;
  const SqlResult next = sql.run(
      "SELECT MAX(id) FROM (SELECT id FROM log_lines WHERE id > (SELECT done_id FROM text_index) AND id <= (SELECT "
      "done_id FROM tool_index) ORDER BY id LIMIT ?) AS next_lines",
      {batchRows});
  if (next.rows.empty() || !next.rows[0].at(0)) return false;
  const std::int64_t upTo = integerAt(next.rows[0], 0);
  sql.run("INSERT INTO log_lines_text (id, received_ms, model, level, text) SELECT id, received_ms, model, level, "
          "lower(text) FROM log_lines WHERE id > (SELECT done_id FROM text_index) AND id <= ?",
          {upTo});
  sql.run("UPDATE text_index SET done_id = ?", {upTo});
  return true;
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

namespace {

std::optional<LineMarks> textMarks(SqlConnection& sql) {
  if (!hasTextIndex(sql)) return std::nullopt;
  return lineMarks(sql, "text_index");
}

}  // namespace

std::optional<std::int64_t> textIndexedUpTo(SqlConnection& sql) {
  const std::optional<LineMarks> marks = textMarks(sql);
  if (!marks || marks->last - marks->done > kMostUnindexed) return std::nullopt;
  return marks->done;
}

std::optional<TextIndexRead> textIndexFor(SqlConnection& sql, std::optional<std::int32_t> level, bool oneTool) {
  const std::optional<std::int64_t> indexedUpTo = textIndexedUpTo(sql);
  if (!indexedUpTo) return std::nullopt;
  if (sql.dialect() == SqlDialect::Postgres) {
    const SqlResult valid =
        sql.run("SELECT bool_or(indexrelid = to_regclass(?)), bool_or(indexrelid = to_regclass(?)) FROM pg_index "
                "WHERE indexrelid IN (to_regclass(?), to_regclass(?)) AND indisvalid",
                {std::string(kLevelTextIndex), std::string(kKeyedTextIndex), std::string(kLevelTextIndex),
                 std::string(kKeyedTextIndex)});
    const auto yes = [&](std::size_t column) { return !valid.rows.empty() && textAt(valid.rows[0], column) == "t"; };
    return TextIndexRead{kLineTextTable, *indexedUpTo, level == kOwnTextIndexLevel && yes(0) && !(oneTool && yes(1)),
                         yes(1)};
  }
  if (level == kOwnTextIndexLevel && sql.dialect() == SqlDialect::Sqlite && hasTable(sql, "error_text_index")) {
    // Lines past the mark are read as they are: it may be behind the whole index's, not far.
    const std::optional<LineMarks> errors = lineMarks(sql, "error_text_index");
    if (errors && errors->last - errors->done <= kMostUnindexed) return TextIndexRead{kErrorTextTable, errors->done};
  }
  return TextIndexRead{kLineTextTable, *indexedUpTo};
}

std::string candidatesUpTo(const TextIndexRead& index) {
  const std::string table = index.table;
  return "SELECT rowid FROM " + table + " WHERE " + table + " MATCH ? AND rowid <= ?";
}

bool fewCandidates(SqlConnection& sql, const TextIndexRead& index, const std::string& phrase, std::int64_t most) {
  return atMost(sql, candidatesUpTo(index), {phrase, index.indexedUpTo}, most);
}

std::string candidatesInRuns(const char* table, const std::string& phrase,
                             const std::vector<std::pair<std::int64_t, std::int64_t>>& runs,
                             std::vector<SqlValue>& parameters) {
  const std::string name = table;
  std::string indexed;
  // No runs: a run no id is in, so that the statement gives nothing.
  const std::vector<std::pair<std::int64_t, std::int64_t>> none{{1, 0}};
  for (const auto& [first, last] : runs.empty() ? none : runs) {
    indexed += std::string(indexed.empty() ? "" : " UNION ALL ") + "SELECT rowid FROM " + name + " WHERE " + name +
               " MATCH ? AND rowid BETWEEN ? AND ?";
    parameters.insert(parameters.end(), {phrase, first, last});
  }
  return indexed;
}

std::int64_t textIndexLag(SqlConnection& sql) {
  const std::optional<LineMarks> marks = textMarks(sql);
  return marks ? std::max<std::int64_t>(0, marks->last - marks->done) : 0;
}

bool indexNewLines(SqlConnection& sql, std::int64_t batchRows) {
  if (!hasTextIndex(sql)) return false;
  if (sql.dialect() == SqlDialect::Postgres) return indexNewPostgresLines(sql, batchRows);
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

bool indexNewErrorLines(SqlConnection& sql, std::int64_t batchRows) {
  if (sql.dialect() != SqlDialect::Sqlite || !hasTable(sql, "error_text_index")) return false;
  const std::optional<LineMarks> marks = lineMarks(sql, "error_text_index");
  if (!marks || marks->done >= marks->last) return false;
  // Errors are found by id among the rest, which are most lines: 16 ids for each line asked.
  std::int64_t upTo = std::min(marks->last, marks->done + 16 * std::max<std::int64_t>(1, batchRows));
  const std::int64_t level = kOwnTextIndexLevel;
  // "+": by id, not through the index by level, all of whose errors SQLite would read.
  const SqlResult errors = sql.run("SELECT id, length(text) FROM log_lines WHERE id > ? AND id <= ? AND +level = ? "
                                   "ORDER BY id",
                                   {marks->done, upTo, level});
  std::int64_t characters = 0;
  for (const Row& row : errors.rows) {
    characters += integerAt(row, 1);
    if (characters >= kSliceCharacters) {
      upTo = integerAt(row, 0);
      break;
    }
  }
  const std::string table = kErrorTextTable;
  sql.run("INSERT INTO " + table +
              " (rowid, text) SELECT id, text FROM log_lines WHERE id > ? AND id <= ? AND +level = ?",
          {marks->done, upTo, level});
  sql.run("UPDATE error_text_index SET done_id = ?", {upTo});
  return upTo < marks->last;
}

}  // namespace zandle::service
