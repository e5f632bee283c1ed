// Counts of the records per half hour (and per UTC day and 16-day block for
// the breakdowns by version and function), kept by the writer in the same transaction as the
// records (log lines later, many at a time: see line_counts.h): count() calls
// gather deltas, flush() writes them before COMMIT.
// Removing records (retention, forgetting) counts them with delta -1; user
// sets and session lengths cannot give a member back and keep theirs.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "store/sql_connection.h"

namespace zandle::service {

inline constexpr std::int64_t kSlotMillis = 30 * 60 * 1000;  // every offered zone's days start on one
inline constexpr std::int64_t kDayMillisUtc = 24 * 60 * 60 * 1000;
inline constexpr std::size_t kLevelColumns = 11;   // levels 0 to 9, then the rest
inline constexpr std::size_t kAnswerColumns = 4;   // answers 1 to 3, then the rest
inline constexpr std::int64_t kBlockMillis = 16 * kDayMillisUtc;  // from the epoch on
enum class Span : std::int64_t { Slot = 0, Day = 1, Block = 2 };
// Taken by a PostgreSQL transaction that merges users or lengths into the stored sketches.
inline constexpr std::int64_t kTallySketchesLock = 7'243'113;

std::int64_t floorTo(std::int64_t millis, std::int64_t step);
std::size_t levelColumn(std::int64_t level);
std::size_t answerColumn(std::int64_t level);

class Tallies {
 public:
  void countSession(const std::string& model, const std::string& version, std::uint32_t uin, std::int64_t enteredMs,
                    std::int64_t delta = 1);
  // A closing is counted in the half hour the session began.
  void countClosing(const std::string& model, std::int64_t enteredMs, std::int64_t lengthMs, std::int64_t delta = 1);
  void countLogLine(const std::string& model, const std::string& version, std::int64_t level,
                    std::int64_t receivedMs, std::int64_t delta = 1);
  void countAnswer(const std::string& model, const std::string& version, const std::string& function,
                   std::int64_t level, std::int64_t receivedMs, std::int64_t delta = 1);

  bool empty() const { return tools_.empty() && versions_.empty() && functions_.empty(); }
  // The writes go through runLater: with the next statement, or the connection's flush().
  void flush(SqlConnection& sql);
  void discard();

 private:
  struct ToolDelta {
    std::int64_t sessions = 0, closed = 0;
    std::vector<std::uint32_t> users;
    std::vector<std::int64_t> lengths;
    std::array<std::int64_t, kLevelColumns> lines{};
    std::array<std::int64_t, kAnswerColumns> answers{};
  };
  struct KeyedDelta {
    std::int64_t sessions = 0, errors = 0;
    std::array<std::int64_t, kAnswerColumns> answers{};
    std::vector<std::uint32_t> users;
  };
  using ToolKey = std::tuple<std::int64_t, std::string, std::int64_t>;                 // every, model, slot
  using KeyedKey = std::tuple<std::string, std::string, std::int64_t, std::int64_t>;  // model, key, span, start

  std::vector<ToolDelta*> toolDeltas(const std::string& model, std::int64_t millis);
  std::vector<KeyedDelta*> keyedDeltas(std::map<KeyedKey, KeyedDelta>& map, const std::string& model,
                                       const std::string& key, std::int64_t millis);
  static void toolRow(std::vector<SqlValue>& values, const ToolKey& key, const ToolDelta& delta, SqlValue users,
                      SqlValue lengths);
  static void keyedRow(std::vector<SqlValue>& values, bool version, const KeyedKey& key, const KeyedDelta& delta,
                       SqlValue users);

  std::map<ToolKey, ToolDelta> tools_;
  std::map<KeyedKey, KeyedDelta> versions_;
  std::map<KeyedKey, KeyedDelta> functions_;
};

}  // namespace zandle::service
