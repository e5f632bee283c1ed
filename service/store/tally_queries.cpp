#include "store/tally_queries.h"

#include <algorithm>
#include <map>

#include "store/query_helpers.h"
#include "store/tally_backfill.h"

namespace zandle::service {
namespace {

using namespace query;

std::int64_t ceilTo(std::int64_t millis, std::int64_t step) { return -floorTo(-millis, step); }

// [from, to) as the fewest rows: half hours at the ends, then whole UTC
// days, then 16-day blocks in the middle; a 90-day period reads about 20
// rows a key instead of 4,320.
void cover(std::vector<std::array<std::int64_t, 3>>& parts, std::int64_t from, std::int64_t to, int level) {
  static constexpr std::pair<Span, std::int64_t> kLevels[] = {
      {Span::Slot, kSlotMillis}, {Span::Day, kDayMillisUtc}, {Span::Block, kBlockMillis}};
  if (from >= to) return;
  if (level == 0) {
    parts.push_back({static_cast<std::int64_t>(Span::Slot), from, to});
    return;
  }
  const auto [span, step] = kLevels[level];
  const std::int64_t first = ceilTo(from, step), last = floorTo(to, step);
  if (first >= last) return cover(parts, from, to, level - 1);
  cover(parts, from, first, level - 1);
  parts.push_back({static_cast<std::int64_t>(span), first, last});
  cover(parts, last, to, level - 1);
}

Condition spans(const Scope& scope) {
  std::vector<std::array<std::int64_t, 3>> parts;
  cover(parts, floorTo(scope.range.fromMillis, kSlotMillis), scope.range.toMillis, 2);
  Condition where;
  std::string any;
  for (const auto& [span, from, to] : parts) {
    any += std::string(any.empty() ? "(" : " OR ") + "(span = ? AND start_ms >= ? AND start_ms < ?)";
    where.parameters.insert(where.parameters.end(), {span, from, to});
  }
  where.add(any.empty() ? "1 = 0" : any + ")");
  if (scope.model) where.add("model = ?", *scope.model);
  return where;
}

void restrictTo(Condition& where, std::string_view column, const std::vector<ToolAnd>& keys) {
  std::string any = "(";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    any += std::string(i ? " OR " : "") + "(model = ? AND " + std::string(column) + " = ?)";
    where.parameters.emplace_back(keys[i].first);
    where.parameters.emplace_back(keys[i].second);
  }
  where.add(any + ")");
}

LevelCounts answersAt(const Row& row, std::size_t first) {
  LevelCounts counts;
  for (std::size_t i = 0; i < 3; ++i) counts.levels[i] = integerAt(row, first + i);
  counts.other = integerAt(row, first + 3);
  return counts;
}

void add(LevelCounts& into, const LevelCounts& more) {
  for (std::size_t i = 0; i < 3; ++i) into.levels[i] += more.levels[i];
  into.other += more.other;
}

}  // namespace

std::vector<SlotTally> TallyQueries::slots(const std::optional<std::string>& model, TimeRange range) {
  std::vector<SlotTally> slots;
  if (!sql_) return slots;
  const SqlResult result = sql_->run(
      "SELECT slot_ms, sessions, closed, users, lengths, l0, l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, a0, a1, a2, a3 "
      "FROM tool_tally WHERE every = ? AND model = ? AND slot_ms >= ? AND slot_ms < ? ORDER BY slot_ms",
      {std::int64_t{model ? 0 : 1}, model.value_or(std::string()), floorTo(range.fromMillis, kSlotMillis),
       range.toMillis});
  slots.reserve(result.rows.size());
  for (const Row& row : result.rows) {
    SlotTally& slot = slots.emplace_back();
    slot.slotMs = integerAt(row, 0);
    slot.sessions = integerAt(row, 1);
    slot.closed = integerAt(row, 2);
    slot.users = UserSketch::decode(blobBytes(sql_->dialect(), row.at(3)));
    slot.lengths = LengthSketch::decode(blobBytes(sql_->dialect(), row.at(4)));
    for (std::size_t i = 0; i < kLevelColumns; ++i) slot.lines[i] = integerAt(row, 5 + i);
    slot.answers = answersAt(row, 5 + kLevelColumns);
  }
  return slots;
}

std::vector<ToolAnd> TallyQueries::top(bool version, const Scope& scope, std::size_t offset, std::size_t limit) {
  std::vector<ToolAnd> keys;
  if (!sql_) return keys;
  Condition where = spans(scope);
  where.parameters.emplace_back(limitValue(limit));
  where.parameters.emplace_back(limitValue(offset));
  const std::string sql =
      version ? "SELECT model, version, SUM(sessions) AS n FROM version_tally" + where.sql +
                    " GROUP BY model, version HAVING SUM(sessions) > 0 ORDER BY n DESC, model, version LIMIT ? OFFSET ?"
              : "SELECT model, function, SUM(a0 + a1 + a2 + a3) AS n FROM function_tally" + where.sql +
                    " GROUP BY model, function HAVING SUM(a0 + a1 + a2 + a3) > 0 ORDER BY n DESC, model, function "
                    "LIMIT ? OFFSET ?";
  for (const Row& row : sql_->run(sql, where.parameters).rows) keys.emplace_back(textAt(row, 0), textAt(row, 1));
  return keys;
}

std::vector<ToolAnd> TallyQueries::topVersions(const Scope& scope, std::size_t offset, std::size_t limit) {
  return top(true, scope, offset, limit);
}

std::vector<ToolAnd> TallyQueries::topFunctions(const Scope& scope, std::size_t offset, std::size_t limit) {
  return top(false, scope, offset, limit);
}

std::vector<KeyedTally> TallyQueries::keyed(bool version, const Scope& scope, const std::vector<ToolAnd>& keys) {
  std::vector<KeyedTally> tallies;
  if (!sql_ || keys.empty()) return tallies;
  Condition where = spans(scope);
  restrictTo(where, version ? "version" : "function", keys);
  const std::string sql = version ? "SELECT model, version, sessions, errors, users, a0, a1, a2, a3 FROM version_tally"
                                  : "SELECT model, function, 0, 0, NULL, a0, a1, a2, a3 FROM function_tally";
  std::map<ToolAnd, KeyedTally> byKey;
  for (const Row& row : sql_->run(sql + where.sql, where.parameters).rows) {
    const ToolAnd key{textAt(row, 0), textAt(row, 1)};
    KeyedTally& tally = byKey[key];
    tally.key = key;
    tally.sessions += integerAt(row, 2);
    tally.errors += integerAt(row, 3);
    if (row.at(4)) tally.users.merge(UserSketch::decode(blobBytes(sql_->dialect(), row.at(4))));
    add(tally.answers, answersAt(row, 5));
  }
  for (auto& entry : byKey) tallies.push_back(std::move(entry.second));
  return tallies;
}

std::vector<KeyedTally> TallyQueries::versions(const Scope& scope, const std::vector<ToolAnd>& keys) {
  return keyed(true, scope, keys);
}

std::vector<KeyedTally> TallyQueries::functions(const Scope& scope, const std::vector<ToolAnd>& keys) {
  return keyed(false, scope, keys);
}

std::vector<FunctionSlot> TallyQueries::functionSlots(const Scope& scope, const std::vector<ToolAnd>& keys) {
  std::vector<FunctionSlot> slots;
  if (!sql_ || keys.empty()) return slots;
  Condition where;
  where.add("span = ?", static_cast<std::int64_t>(Span::Slot));
  where.add("start_ms >= ?", floorTo(scope.range.fromMillis, kSlotMillis));
  where.add("start_ms < ?", scope.range.toMillis);
  restrictTo(where, "function", keys);
  for (const Row& row :
       sql_->run("SELECT model, function, start_ms, a0, a1, a2, a3 FROM function_tally" + where.sql, where.parameters)
           .rows) {
    slots.push_back({{textAt(row, 0), textAt(row, 1)}, integerAt(row, 2), answersAt(row, 3)});
  }
  return slots;
}

std::optional<int> TallyQueries::countingPercent() {
  if (!sql_) return std::nullopt;
  return backfillPercent(*sql_);
}

}  // namespace zandle::service
