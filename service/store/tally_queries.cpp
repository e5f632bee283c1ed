#include "store/tally_queries.h"

#include <algorithm>

#include "common/clock.h"
#include "store/line_counts.h"
#include "store/query_helpers.h"
#include "store/tally_backfill.h"
#include "store/tally_cover.h"

namespace zandle::service {
namespace {

using namespace query;

// The rows of a scope's period: those counted, and, with `subtract`, those
// taken away again (none when nothing is).
struct Spans {
  Condition added;
  Condition takenAway;
};

Spans spans(const Scope& scope, bool subtract = false) {
  Spans result;
  std::string added, takenAway;
  const std::string part = "(span = ? AND start_ms >= ? AND start_ms < ?)";
  for (const CoverPart& covered :
       coverRange(floorTo(scope.range.fromMillis, kSlotMillis), scope.range.toMillis, subtract, nowMillis())) {
    std::string& any = covered.sign > 0 ? added : takenAway;
    std::vector<SqlValue>& parameters = (covered.sign > 0 ? result.added : result.takenAway).parameters;
    any += std::string(any.empty() ? "(" : " OR ") + part;
    parameters.insert(parameters.end(), {static_cast<std::int64_t>(covered.span), covered.from, covered.to});
  }
  result.added.add(added.empty() ? "1 = 0" : added + ")");
  if (!takenAway.empty()) result.takenAway.add(takenAway + ")");
  for (Condition* where : {&result.added, &result.takenAway}) {
    if (scope.model && !where->sql.empty()) where->add("model = ?", *scope.model);
  }
  return result;
}

// The rows of `spans` as a table "t" of `keys` and `counts`, the counts of
// rows taken away negated. Each side keeps to its index by time; one
// expression with a sign per row cost more than both on PostgreSQL.
std::string signedRows(const std::string& table, const std::string& keys, const std::vector<std::string>& counts,
                       const Spans& spans, std::vector<SqlValue>& parameters, const std::string& alsoRows = "",
                       const std::vector<SqlValue>& alsoParameters = {}) {
  std::string added, takenAway;
  for (const std::string& count : counts) {
    added += ", " + count;
    takenAway += ", -" + count;
  }
  std::string sql = "(SELECT " + keys + added + " FROM " + table + spans.added.sql;
  parameters.insert(parameters.end(), spans.added.parameters.begin(), spans.added.parameters.end());
  if (!spans.takenAway.sql.empty()) {
    sql += " UNION ALL SELECT " + keys + takenAway + " FROM " + table + spans.takenAway.sql;
    parameters.insert(parameters.end(), spans.takenAway.parameters.begin(), spans.takenAway.parameters.end());
  }
  if (!alsoRows.empty()) {
    sql += " UNION ALL " + alsoRows;
    parameters.insert(parameters.end(), alsoParameters.begin(), alsoParameters.end());
  }
  return sql + ") AS t";
}

// "model = ?" for lines read by id: kept off any SQLite index by tool
// (PostgreSQL has no "+" for text).
std::string sameModel(SqlDialect dialect) {
  return dialect == SqlDialect::Sqlite ? " AND +model = ?" : " AND model = ?";
}

// The level-0 lines past `counted` no tally counts yet whose half hours start
// in the scope's range, as rows of `select`; their parameters follow the caller's.
std::string uncountedErrors(SqlDialect dialect, const std::string& select, std::int64_t counted, const Scope& scope,
                            std::vector<SqlValue>& parameters) {
  const std::string slot = slotOf("received_ms");
  // "+": by id, not SQLite's index by level and time, which holds every error stored.
  std::string sql = "SELECT " + select + " FROM " + kUncountedLines + " AND +level = 0 AND " + slot + " >= ? AND " +
                    slot + " < ?";
  parameters.insert(parameters.end(), {counted, floorTo(scope.range.fromMillis, kSlotMillis), scope.range.toMillis});
  if (scope.model) {
    sql += sameModel(dialect);
    parameters.emplace_back(*scope.model);
  }
  return sql;
}

// One key's rows in `parts`, each term naming the key, so that each is a seek
// on the primary key rather than on an index by time holding every key.
std::string keyedParts(const std::string& keyColumn, const ToolAnd& key, const std::vector<CoverPart>& parts,
                       std::vector<SqlValue>& parameters) {
  std::string any;
  for (const CoverPart& part : parts) {
    any += std::string(any.empty() ? "(" : " OR ") + "(model = ? AND " + keyColumn +
           " = ? AND span = ? AND start_ms >= ? AND start_ms < ?)";
    parameters.insert(parameters.end(),
                      {key.first, key.second, static_cast<std::int64_t>(part.span), part.from, part.to});
  }
  return any.empty() ? "1 = 0" : any + ")";
}

std::string_view blobAt(const Row& row, std::size_t column) {
  const std::optional<std::string>& value = row.at(column);
  return value ? std::string_view(*value) : std::string_view();
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
  const std::int64_t from = floorTo(range.fromMillis, kSlotMillis);
  std::vector<SqlValue> parameters{std::int64_t{model ? 0 : 1}, model.value_or(std::string()), from, range.toMillis};
  // The lines no tally counts yet in the same statement: one snapshot, each line counted once.
  std::string uncounted = "SELECT " + slotOf("received_ms") + " AS slot, level FROM " + kUncountedLines;
  parameters.emplace_back(countedThrough());
  if (model) {
    uncounted += sameModel(sql_->dialect());
    parameters.emplace_back(*model);
  }
  parameters.insert(parameters.end(), {from, range.toMillis});
  // Megabytes of sketches: as bytes, not PostgreSQL's hex.
  const SqlResult result = sql_->runBinary(
      "SELECT slot_ms, 0 AS uncounted, sessions, closed, users, lengths, l0, l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, "
      "a0, a1, a2, a3 FROM tool_tally WHERE every = ? AND model = ? AND slot_ms >= ? AND slot_ms < ? "
      "UNION ALL SELECT slot, 1, 0, 0, NULL, NULL, " + levelSums() + ", 0, 0, 0, 0 FROM (" + uncounted +
          ") AS lines WHERE slot >= ? AND slot < ? GROUP BY slot ORDER BY 1, 2",
      parameters);
  slots.reserve(result.rows.size());
  for (const Row& row : result.rows) {
    const std::int64_t slotMs = integerAt(row, 0);
    // A half hour's uncounted lines come after its row, if it has one.
    const bool more = integerAt(row, 1) != 0 && !slots.empty() && slots.back().slotMs == slotMs;
    SlotTally& slot = more ? slots.back() : slots.emplace_back();
    slot.slotMs = slotMs;
    for (std::size_t i = 0; i < kLevelColumns; ++i) slot.lines[i] += integerAt(row, 6 + i);
    if (more) continue;
    slot.sessions = integerAt(row, 2);
    slot.closed = integerAt(row, 3);
    slot.users = UserSketch::decode(blobAt(row, 4));
    slot.lengths = LengthSketch::decode(blobAt(row, 5));
    slot.answers = answersAt(row, 6 + kLevelColumns);
  }
  return slots;
}

std::vector<KeyedTally> TallyQueries::top(bool version, const Scope& scope, std::size_t offset, std::size_t limit) {
  std::vector<KeyedTally> tallies;
  if (!sql_) return tallies;
  // Only sums: a block less a few days reads far fewer rows than the days.
  std::vector<SqlValue> parameters, errorParameters;
  const std::string errors =
      version ? uncountedErrors(sql_->dialect(), "model, version, 0, 1, 0, 0, 0, 0", countedThrough(), scope,
                                errorParameters)
              : "";
  const std::string sums = ", SUM(a0), SUM(a1), SUM(a2), SUM(a3)";
  const std::string sql =
      version ? "SELECT model, version, SUM(sessions) AS n, SUM(errors)" + sums + " FROM " +
                    signedRows("version_tally", "model, version", {"sessions", "errors", "a0", "a1", "a2", "a3"},
                               spans(scope, true), parameters, errors, errorParameters) +
                    " GROUP BY model, version HAVING SUM(sessions) > 0 ORDER BY n DESC, model, version LIMIT ? OFFSET ?"
              : "SELECT model, function, SUM(a0 + a1 + a2 + a3) AS n, 0" + sums + " FROM " +
                    signedRows("function_tally", "model, function", {"a0", "a1", "a2", "a3"}, spans(scope, true),
                               parameters) +
                    " GROUP BY model, function HAVING SUM(a0 + a1 + a2 + a3) > 0 ORDER BY n DESC, model, function "
                    "LIMIT ? OFFSET ?";
  parameters.emplace_back(limitValue(limit));
  parameters.emplace_back(limitValue(offset));
  for (const Row& row : sql_->run(sql, parameters).rows) {
    KeyedTally& tally = tallies.emplace_back();
    tally.key = {textAt(row, 0), textAt(row, 1)};
    tally.sessions = version ? integerAt(row, 2) : 0;
    tally.errors = integerAt(row, 3);
    tally.answers = answersAt(row, 4);
  }
  return tallies;
}

std::vector<KeyedTally> TallyQueries::topVersions(const Scope& scope, std::size_t offset, std::size_t limit) {
  return top(true, scope, offset, limit);
}

std::vector<KeyedTally> TallyQueries::topFunctions(const Scope& scope, std::size_t offset, std::size_t limit) {
  return top(false, scope, offset, limit);
}

std::vector<KeyedTally> TallyQueries::functionsAfter(const Scope& scope, const std::optional<ToolAnd>& after,
                                                     std::size_t limit) {
  std::vector<KeyedTally> tallies;
  if (!sql_) return tallies;
  // Seeks the period's rows by time, so a read costs the period, not all the
  // store holds; callers read many keys at a time.
  Spans parts = spans(scope, true);
  if (after) {
    // Kept off the primary key in SQLite, whose walk in key order would read every row stored.
    const std::string later =
        sql_->dialect() == SqlDialect::Sqlite ? "(+model, +function) > (?, ?)" : "(model, function) > (?, ?)";
    for (Condition* where : {&parts.added, &parts.takenAway}) {
      if (where->sql.empty()) continue;
      where->add(later);
      where->parameters.insert(where->parameters.end(), {after->first, after->second});
    }
  }
  std::vector<SqlValue> parameters;
  const std::string sql =
      "SELECT model, function, SUM(a0), SUM(a1), SUM(a2), SUM(a3) FROM " +
      signedRows("function_tally", "model, function", {"a0", "a1", "a2", "a3"}, parts, parameters) +
      " GROUP BY model, function HAVING SUM(a0 + a1 + a2 + a3) > 0 ORDER BY model, function LIMIT ?";
  parameters.emplace_back(limitValue(limit));
  for (const Row& row : sql_->run(sql, parameters).rows) {
    KeyedTally& tally = tallies.emplace_back();
    tally.key = {textAt(row, 0), textAt(row, 1)};
    tally.answers = answersAt(row, 2);
  }
  return tallies;
}

// One key at a time: each reads its own rows through the primary key.
std::vector<KeyedTally> TallyQueries::keyed(bool version, const Scope& scope, const std::vector<ToolAnd>& keys) {
  std::vector<KeyedTally> tallies;
  if (!sql_) return tallies;
  const std::vector<CoverPart> parts =
      coverRange(floorTo(scope.range.fromMillis, kSlotMillis), scope.range.toMillis, false);
  for (const ToolAnd& key : keys) {
    std::vector<SqlValue> parameters;
    const std::string sql = (version ? "SELECT sessions, 0, users, a0, a1, a2, a3 FROM version_tally WHERE "
                                     : "SELECT 0, 0, NULL, a0, a1, a2, a3 FROM function_tally WHERE ") +
                            keyedParts(version ? "version" : "function", key, parts, parameters);
    KeyedTally tally;
    tally.key = key;
    for (const Row& row : sql_->runBinary(sql, parameters).rows) {
      tally.sessions += integerAt(row, 0);
      tally.errors += integerAt(row, 1);
      if (row.at(2)) tally.users.merge(UserSketch::decode(blobAt(row, 2)));
      add(tally.answers, answersAt(row, 3));
    }
    tallies.push_back(std::move(tally));
  }
  return tallies;
}

std::vector<KeyedTally> TallyQueries::versions(const Scope& scope, const std::vector<ToolAnd>& keys) {
  return keyed(true, scope, keys);
}

std::vector<KeyedTally> TallyQueries::functions(const Scope& scope, const std::vector<ToolAnd>& keys) {
  return keyed(false, scope, keys);
}

std::vector<std::vector<LevelCounts>> TallyQueries::functionTrends(const std::vector<ToolAnd>& keys,
                                                                   const std::vector<TimeRange>& buckets) {
  std::vector<std::vector<LevelCounts>> trends(keys.size(), std::vector<LevelCounts>(buckets.size()));
  if (!sql_ || buckets.empty()) return trends;
  // Each bucket as few rows as it takes; a row may count in several buckets,
  // taken away from one and added to the next.
  std::vector<std::vector<CoverPart>> covers;
  std::vector<CoverPart> read;
  for (const TimeRange& bucket : buckets) {
    covers.push_back(coverRange(floorTo(bucket.fromMillis, kSlotMillis), bucket.toMillis, true, nowMillis()));
    read.insert(read.end(), covers.back().begin(), covers.back().end());
  }
  // Read as few stretches as cover them all, for a short statement.
  std::sort(read.begin(), read.end(), [](const CoverPart& a, const CoverPart& b) {
    return std::pair(a.span, a.from) < std::pair(b.span, b.from);
  });
  std::vector<CoverPart> stretches;
  for (const CoverPart& part : read) {
    if (!stretches.empty() && stretches.back().span == part.span && part.from <= stretches.back().to) {
      stretches.back().to = std::max(stretches.back().to, part.to);
    } else {
      stretches.push_back(part);
    }
  }
  for (std::size_t k = 0; k < keys.size(); ++k) {
    std::vector<SqlValue> parameters;
    const std::string sql = "SELECT span, start_ms, a0, a1, a2, a3 FROM function_tally WHERE " +
                            keyedParts("function", keys[k], stretches, parameters);
    for (const Row& row : sql_->run(sql, parameters).rows) {
      const auto span = static_cast<Span>(integerAt(row, 0));
      const std::int64_t start = integerAt(row, 1);
      const LevelCounts answers = answersAt(row, 2);
      for (std::size_t b = 0; b < covers.size(); ++b) {
        for (const CoverPart& part : covers[b]) {
          if (part.span != span || start < part.from || start >= part.to) continue;
          for (std::size_t i = 0; i < 3; ++i) trends[k][b].levels[i] += part.sign * answers.levels[i];
          trends[k][b].other += part.sign * answers.other;
        }
      }
    }
  }
  return trends;
}

std::int64_t TallyQueries::countedThrough() {
  if (!countedThrough_) countedThrough_ = linesCountedThrough(*sql_);
  return *countedThrough_;
}

std::optional<int> TallyQueries::countingPercent() {
  if (!sql_) return std::nullopt;
  if (!counting_) counting_ = backfillPercent(*sql_);
  return *counting_;
}

std::int64_t TallyQueries::openSessions(const std::optional<std::string>& model) {
  if (!sql_) return 0;
  // Sessions never left pile up (tools that crash, machines switched off):
  // counting their rows costs more each month. Begun less closed is the same
  // number once every older record is counted.
  if (countingPercent()) return DashboardQueries(sql_).openSessions(model);
  return integerAt(sql_->run("SELECT COALESCE(SUM(sessions) - SUM(closed), 0) FROM tool_tally WHERE every = ? AND "
                             "model = ?",
                             {std::int64_t{model ? 0 : 1}, model.value_or("")})
                       .rows.at(0),
                   0);
}

}  // namespace zandle::service
