#include "store/tallies.h"

#include "store/query_helpers.h"
#include "store/row_batches.h"
#include "store/sketches.h"

namespace zandle::service {
namespace {

std::string columnList(std::string_view prefix, std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) list += ", " + std::string(prefix) + std::to_string(i);
  return list;
}

std::string additions(std::string_view table, std::string_view prefix, std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string column = std::string(prefix) + std::to_string(i);
    list += ", " + column + " = " + std::string(table) + "." + column + " + excluded." + column;
  }
  return list;
}

const std::string kToolHead = "INSERT INTO tool_tally (every, model, slot_ms, sessions, closed, users, lengths" +
                              columnList("l", kLevelColumns) + columnList("a", kAnswerColumns) + ")";
const std::string kToolTail =
    " ON CONFLICT (every, model, slot_ms) DO UPDATE SET sessions = tool_tally.sessions + excluded.sessions, "
    "closed = tool_tally.closed + excluded.closed, users = COALESCE(excluded.users, tool_tally.users), "
    "lengths = COALESCE(excluded.lengths, tool_tally.lengths)" +
    additions("tool_tally", "l", kLevelColumns) + additions("tool_tally", "a", kAnswerColumns);
constexpr std::size_t kToolColumns = 7 + kLevelColumns + kAnswerColumns;

const std::string kVersionHead = "INSERT INTO version_tally (model, version, span, start_ms, sessions, errors, users" +
                                 columnList("a", kAnswerColumns) + ")";
const std::string kVersionTail =
    " ON CONFLICT (model, version, span, start_ms) DO UPDATE SET sessions = version_tally.sessions + "
    "excluded.sessions, errors = version_tally.errors + excluded.errors, "
    "users = COALESCE(excluded.users, version_tally.users)" +
    additions("version_tally", "a", kAnswerColumns);
constexpr std::size_t kVersionColumns = 7 + kAnswerColumns;

const std::string kFunctionHead =
    "INSERT INTO function_tally (model, function, span, start_ms" + columnList("a", kAnswerColumns) + ")";
const std::string kFunctionTail = " ON CONFLICT (model, function, span, start_ms) DO UPDATE SET " +
                                  additions("function_tally", "a", kAnswerColumns).substr(2);
constexpr std::size_t kFunctionColumns = 4 + kAnswerColumns;

using query::integerAt;
using query::Row;
using query::textAt;

// The rows of `head` whose key columns match one of `keys`, 64 keys to a
// statement (then powers of two, as runRows goes); blobs as their bytes.
std::vector<Row> selectByKeys(SqlConnection& sql, std::string_view head, const std::vector<std::string>& columns,
                              const std::vector<std::vector<SqlValue>>& keys) {
  constexpr std::size_t kMostKeys = 64;
  std::string match = "(";
  for (std::size_t i = 0; i < columns.size(); ++i) match += (i ? " AND " : "") + columns[i] + " = ?";
  match += ")";
  std::vector<Row> found;
  for (std::size_t done = 0; done < keys.size();) {
    std::size_t take = kMostKeys;
    while (take > keys.size() - done) take /= 2;
    std::string statement(head);
    statement += " WHERE ";
    std::vector<SqlValue> values;
    for (std::size_t i = 0; i < take; ++i) {
      statement += (i ? " OR " : "") + match;
      values.insert(values.end(), keys[done + i].begin(), keys[done + i].end());
    }
    for (Row& row : sql.runBinary(statement, values).rows) found.push_back(std::move(row));
    done += take;
  }
  return found;
}

}  // namespace

std::int64_t floorTo(std::int64_t millis, std::int64_t step) {
  const std::int64_t rest = millis % step;
  return millis - (rest < 0 ? rest + step : rest);
}

std::size_t levelColumn(std::int64_t level) {
  return level >= 0 && level < static_cast<std::int64_t>(kLevelColumns) - 1 ? static_cast<std::size_t>(level)
                                                                            : kLevelColumns - 1;
}

std::size_t answerColumn(std::int64_t level) {
  return level >= 1 && level <= 3 ? static_cast<std::size_t>(level - 1) : kAnswerColumns - 1;
}

std::vector<Tallies::ToolDelta*> Tallies::toolDeltas(const std::string& model, std::int64_t millis) {
  const std::int64_t slot = floorTo(millis, kSlotMillis);
  return {&tools_[ToolKey{1, std::string(), slot}], &tools_[ToolKey{0, model, slot}]};
}

std::vector<Tallies::KeyedDelta*> Tallies::keyedDeltas(std::map<KeyedKey, KeyedDelta>& map, const std::string& model,
                                                       const std::string& key, std::int64_t millis) {
  return {&map[KeyedKey{model, key, static_cast<std::int64_t>(Span::Slot), floorTo(millis, kSlotMillis)}],
          &map[KeyedKey{model, key, static_cast<std::int64_t>(Span::Day), floorTo(millis, kDayMillisUtc)}],
          &map[KeyedKey{model, key, static_cast<std::int64_t>(Span::Block), floorTo(millis, kBlockMillis)}]};
}

void Tallies::countSession(const std::string& model, const std::string& version, std::uint32_t uin,
                           std::int64_t enteredMs, std::int64_t delta) {
  for (ToolDelta* tool : toolDeltas(model, enteredMs)) {
    tool->sessions += delta;
    if (delta > 0) tool->users.push_back(uin);
  }
  for (KeyedDelta* keyed : keyedDeltas(versions_, model, version, enteredMs)) {
    keyed->sessions += delta;
    if (delta > 0) keyed->users.push_back(uin);
  }
}

void Tallies::countClosing(const std::string& model, std::int64_t enteredMs, std::int64_t lengthMs,
                           std::int64_t delta) {
  for (ToolDelta* tool : toolDeltas(model, enteredMs)) {
    tool->closed += delta;
    if (delta > 0) tool->lengths.push_back(lengthMs);
  }
}

void Tallies::countLogLine(const std::string& model, const std::string& version, std::int64_t level,
                           std::int64_t receivedMs, std::int64_t delta) {
  for (ToolDelta* tool : toolDeltas(model, receivedMs)) tool->lines[levelColumn(level)] += delta;
  // Level 0 is the errors column of the versions table.
  if (level == 0) {
    for (KeyedDelta* keyed : keyedDeltas(versions_, model, version, receivedMs)) keyed->errors += delta;
  }
}

void Tallies::countAnswer(const std::string& model, const std::string& version, const std::string& function,
                          std::int64_t level, std::int64_t receivedMs, std::int64_t delta) {
  const std::size_t column = answerColumn(level);
  for (ToolDelta* tool : toolDeltas(model, receivedMs)) tool->answers[column] += delta;
  for (KeyedDelta* keyed : keyedDeltas(versions_, model, version, receivedMs)) keyed->answers[column] += delta;
  for (KeyedDelta* keyed : keyedDeltas(functions_, model, function, receivedMs)) keyed->answers[column] += delta;
}

void Tallies::toolRow(std::vector<SqlValue>& values, const ToolKey& key, const ToolDelta& delta, SqlValue users,
                      SqlValue lengths) {
  const auto& [every, model, slot] = key;
  values.insert(values.end(), {every, model, slot, delta.sessions, delta.closed, std::move(users), std::move(lengths)});
  for (std::int64_t lines : delta.lines) values.emplace_back(lines);
  for (std::int64_t answers : delta.answers) values.emplace_back(answers);
}

void Tallies::keyedRow(std::vector<SqlValue>& values, bool version, const KeyedKey& key, const KeyedDelta& delta,
                       SqlValue users) {
  const auto& [model, name, span, start] = key;
  values.insert(values.end(), {model, name, span, start});
  if (version) values.insert(values.end(), {delta.sessions, delta.errors, std::move(users)});
  for (std::int64_t answers : delta.answers) values.emplace_back(answers);
}

// Rows that gain users or lengths merge them with the stored sketches, read
// many keys to a statement; then every row goes many to a statement, in key
// order, as every writer takes the rows' locks.
void Tallies::flush(SqlConnection& sql) {
  std::vector<std::vector<SqlValue>> toolKeys, versionKeys;
  for (const auto& [key, delta] : tools_) {
    if (!delta.users.empty() || !delta.lengths.empty()) {
      toolKeys.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key)});
    }
  }
  for (const auto& [key, delta] : versions_) {
    if (!delta.users.empty()) {
      versionKeys.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), std::get<3>(key)});
    }
  }
  // Writers sharing a PostgreSQL store take turns from reading a sketch to
  // committing it: else one writes back a set without the other's users. A
  // row lock would not do: a row not there yet cannot be locked.
  if (sql.dialect() == SqlDialect::Postgres && !(toolKeys.empty() && versionKeys.empty())) {
    sql.runLater("SELECT pg_advisory_xact_lock(?)", {kTallySketchesLock});
  }
  std::map<ToolKey, std::pair<std::string, std::string>> storedTools;
  for (const Row& row : selectByKeys(sql, "SELECT every, model, slot_ms, users, lengths FROM tool_tally",
                                     {"every", "model", "slot_ms"}, toolKeys)) {
    storedTools[ToolKey{integerAt(row, 0), textAt(row, 1), integerAt(row, 2)}] = {row.at(3).value_or(""),
                                                                                   row.at(4).value_or("")};
  }
  std::map<KeyedKey, std::string> storedVersions;
  for (const Row& row : selectByKeys(sql, "SELECT model, version, span, start_ms, users FROM version_tally",
                                     {"model", "version", "span", "start_ms"}, versionKeys)) {
    storedVersions[KeyedKey{textAt(row, 0), textAt(row, 1), integerAt(row, 2), integerAt(row, 3)}] =
        row.at(4).value_or("");
  }

  std::vector<SqlValue> rows;
  for (const auto& [key, delta] : tools_) {
    SqlValue users, lengths;
    const auto stored = storedTools.find(key);
    if (!delta.users.empty()) {
      UserSketch sketch = UserSketch::decode(stored == storedTools.end() ? std::string() : stored->second.first);
      for (std::uint32_t uin : delta.users) sketch.add(uin);
      users = SqlBlob{sketch.encode()};
    }
    if (!delta.lengths.empty()) {
      LengthSketch sketch = LengthSketch::decode(stored == storedTools.end() ? std::string() : stored->second.second);
      for (std::int64_t length : delta.lengths) sketch.add(length);
      lengths = SqlBlob{sketch.encode()};
    }
    toolRow(rows, key, delta, std::move(users), std::move(lengths));
  }
  runRows(sql, kToolHead, kToolColumns, kToolTail, rows);
  rows.clear();
  for (const auto& [key, delta] : versions_) {
    SqlValue users;
    if (!delta.users.empty()) {
      const auto stored = storedVersions.find(key);
      UserSketch sketch = UserSketch::decode(stored == storedVersions.end() ? std::string() : stored->second);
      for (std::uint32_t uin : delta.users) sketch.add(uin);
      users = SqlBlob{sketch.encode()};
    }
    keyedRow(rows, true, key, delta, std::move(users));
  }
  runRows(sql, kVersionHead, kVersionColumns, kVersionTail, rows);
  rows.clear();
  for (const auto& [key, delta] : functions_) keyedRow(rows, false, key, delta, {});
  runRows(sql, kFunctionHead, kFunctionColumns, kFunctionTail, rows);
  discard();
}

void Tallies::discard() {
  tools_.clear();
  versions_.clear();
  functions_.clear();
}

}  // namespace zandle::service
