// Runs of line ids a search or an export reads in turn, each with the latest
// (or earliest) time a line in it may have, until it has what it wants and no
// run left can hold a line that ranks before the last taken.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/query_helpers.h"

namespace zandle::service {

struct IdRun {
  std::int64_t first = 0, last = 0;
  std::optional<std::int64_t> bound;  // none: unknown, read in any case
};

// The bit a line's level sets in its block's mask of levels: one for each of 0
// to 61, one for every other level. A block from before the masks has them all (-1).
inline constexpr std::int64_t kOtherLevelsBit = 62;
inline std::int64_t levelBit(std::int64_t level) {
  return std::int64_t{1} << (level >= 0 && level < kOtherLevelsBit ? level : kOtherLevelsBit);
}
// The bits a block holding a line of `level` has one of (any, without a level).
inline std::int64_t levelMask(std::optional<std::int32_t> level) { return level ? levelBit(*level) : -1; }

// Blocks of 2^bits line ids as runs, from rows of (block, time bound), after
// the run of ids past the mark up to `upTo` (if any): a block holding the mark
// is read up to it, the rest with that run.
inline std::vector<IdRun> blockRuns(const SqlResult& blocks, int bits, std::int64_t mark, std::int64_t upTo) {
  std::vector<IdRun> runs;
  if (mark < upTo) runs.push_back({mark + 1, upTo, std::nullopt});
  for (const auto& row : blocks.rows) {
    const std::int64_t first = query::integerAt(row, 0) << bits;
    runs.push_back({std::max<std::int64_t>(first, 1), std::min(mark, first + (std::int64_t{1} << bits) - 1),
                    query::integerAt(row, 1)});
  }
  return runs;
}

// Drops the blocks below the first line left in `lines` (retention removes the
// oldest), so that a table of blocks grows with the lines kept; with no line
// left, none below the mark will come, and every block goes.
inline void forgetBlocksBelowFirstLine(SqlConnection& sql, const std::string& blocks, const std::string& lines,
                                       const std::string& markTable, int bits) {
  sql.run("DELETE FROM " + blocks + " WHERE block < (COALESCE((SELECT MIN(id) FROM " + lines +
              "), (SELECT done_id + 1 FROM " + markTable + ") + ?) >> ?)",
          {std::int64_t{1} << bits, std::int64_t{bits}});
}

// PostgreSQL's array literal of the numbers.
inline std::string arrayOf(const std::vector<std::int64_t>& numbers) {
  std::string out = "{";
  for (std::int64_t number : numbers) out += (out.size() > 1 ? "," : "") + std::to_string(number);
  return out + "}";
}

// The first `wanted` positions, newest or oldest first, that
// `readGroup(firsts, lasts, millisecondsLeft)` gives for groups of runs taken
// in order (4 runs, then twice as many, up to 64). Nothing when a read gives
// nothing, or after `milliseconds` (0: no limit).
template <typename ReadGroup>
std::optional<std::vector<RowPosition>> readRuns(const std::vector<IdRun>& runs, std::size_t wanted,
                                                  bool newestFirst, std::int64_t milliseconds, ReadGroup readGroup) {
  using Clock = std::chrono::steady_clock;
  constexpr std::size_t kFirstRuns = 4, kMostRuns = 64;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const auto ranksBefore = [newestFirst](const RowPosition& a, const RowPosition& b) {
    return newestFirst ? std::pair(a.millis, a.id) > std::pair(b.millis, b.id)
                       : std::pair(a.millis, a.id) < std::pair(b.millis, b.id);
  };
  std::vector<RowPosition> found;
  const auto beyond = [&](const IdRun& run) {
    return found.size() >= wanted && run.bound &&
           (newestFirst ? *run.bound < found[wanted - 1].millis : *run.bound > found[wanted - 1].millis);
  };
  for (std::size_t next = 0, group = kFirstRuns; next < runs.size() && !beyond(runs[next]);
       group = std::min(group * 2, kMostRuns)) {
    std::vector<std::int64_t> firsts, lasts;
    for (; next < runs.size() && firsts.size() < group && !beyond(runs[next]); ++next) {
      firsts.push_back(runs[next].first);
      lasts.push_back(runs[next].last);
    }
    std::int64_t left = 0;
    if (milliseconds > 0) {
      left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
    }
    const std::optional<SqlResult> rows = readGroup(firsts, lasts, left);
    if (!rows) return std::nullopt;
    for (const auto& row : rows->rows) found.push_back({query::integerAt(row, 0), query::integerAt(row, 1)});
    std::sort(found.begin(), found.end(), ranksBefore);
    if (found.size() > wanted) found.resize(wanted);
  }
  return found;
}

// Runs `select` (ids past its first parameter, at most its second, by id)
// a few rows at a time from line `last` on, each row to `add`, until
// `batchRows` lines or some megabytes of them were read; `last` ends at the
// last line read. Texts are read whole: a batch of long lines must not take
// the memory (8,192 lines of 60 KB).
template <typename Add>
void readTextsInPieces(SqlConnection& sql, const std::string& select, std::int64_t& last, std::int64_t batchRows,
                       Add add) {
  constexpr std::int64_t kRowsAStatement = 64;
  constexpr std::size_t kMostBytes = 4 << 20;
  std::size_t bytes = 0;
  for (std::int64_t read = 0; read < batchRows && bytes < kMostBytes;) {
    const std::int64_t asked = std::min(kRowsAStatement, batchRows - read);
    const SqlResult rows = sql.run(select, {last, asked});
    for (const auto& row : rows.rows) {
      add(row);
      for (const auto& value : row) bytes += value ? value->size() : 0;
      last = std::stoll(*row.at(0));
    }
    read += static_cast<std::int64_t>(rows.rows.size());
    if (static_cast<std::int64_t>(rows.rows.size()) < asked) break;
  }
}

}  // namespace zandle::service
