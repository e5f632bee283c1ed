// Reads of the tallies: what every chart, card and table of the dashboard
// shows, at a cost that follows the period and the page, not the store.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/dashboard_queries.h"
#include "store/sketches.h"
#include "store/tallies.h"

namespace zandle::service {

struct SlotTally {
  std::int64_t slotMs = 0;
  std::int64_t sessions = 0;
  std::int64_t closed = 0;
  UserSketch users;
  LengthSketch lengths;
  std::array<std::int64_t, kLevelColumns> lines{};
  LevelCounts answers;
};

// A version or function over a period.
struct KeyedTally {
  ToolAnd key;
  std::int64_t sessions = 0;
  std::int64_t errors = 0;
  LevelCounts answers;
  UserSketch users;
};

// A half hour belongs to a range when it starts in it; a range's start is
// taken back to its half hour.
class TallyQueries {
 public:
  explicit TallyQueries(SqlConnection* sql) : sql_(sql) {}

  // Oldest first: the whole store's, or one tool's.
  std::vector<SlotTally> slots(const std::optional<std::string>& model, TimeRange range);
  // Versions with the most sessions first, functions with the most answers
  // first, with their sums (users are left out: they take the rows one by one).
  std::vector<KeyedTally> topVersions(const Scope& scope, std::size_t offset, std::size_t limit);
  std::vector<KeyedTally> topFunctions(const Scope& scope, std::size_t offset, std::size_t limit);
  // Functions with answers in the period by tool and name, from the one after
  // `after` (all when nothing): a page reads only the rows of its own keys.
  std::vector<KeyedTally> functionsAfter(const Scope& scope, const std::optional<ToolAnd>& after, std::size_t limit);
  // The figures of each of `keys`, users included; errors come with the top
  // list only (a read by key would read every line not counted yet, key by key).
  std::vector<KeyedTally> versions(const Scope& scope, const std::vector<ToolAnd>& keys);
  std::vector<KeyedTally> functions(const Scope& scope, const std::vector<ToolAnd>& keys);
  // Each function's answers in each of `buckets`: [key][bucket].
  std::vector<std::vector<LevelCounts>> functionTrends(const std::vector<ToolAnd>& keys,
                                                       const std::vector<TimeRange>& buckets);
  // Percent of older records counted so far; nothing once all are.
  std::optional<int> countingPercent();
  // Sessions begun and not yet left, the whole store's or one tool's.
  std::int64_t openSessions(const std::optional<std::string>& model);

 private:
  std::vector<KeyedTally> keyed(bool version, const Scope& scope, const std::vector<ToolAnd>& keys);
  std::vector<KeyedTally> top(bool version, const Scope& scope, std::size_t offset, std::size_t limit);

  // The lines' mark when first asked: enough for the planner (see line_counts.h).
  std::int64_t countedThrough();

  SqlConnection* sql_;
  std::optional<std::int64_t> countedThrough_;
  // Asked once: a page's figures and its note then agree.
  std::optional<std::optional<int>> counting_;
};

}  // namespace zandle::service
