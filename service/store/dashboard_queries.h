// Reads behind the dashboard and the exports. Every list comes back a page at
// a time, so whatever clients have sent, an answer and its memory stay small.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/records.h"
#include "store/sql_connection.h"

namespace zandle::service {

// A time range, and one tool or every tool.
struct Scope {
  TimeRange range;
  std::optional<std::string> model;
};

struct SessionFigures {
  std::int64_t sessions = 0;
  std::int64_t users = 0;   // distinct UINs
  std::int64_t closed = 0;  // sessions with a UserLeave
  std::optional<std::int64_t> medianMillis;
};

// Satisfaction answers for one function of one tool.
struct FunctionRow {
  std::string model;
  std::string function;
  std::int64_t answers = 0;
  std::array<std::int64_t, 3> levels{};  // 1 满意, 2 一般, 3 不满意
  std::int64_t otherLevels = 0;
};

struct LogFilter {
  Scope scope;
  std::optional<std::int32_t> level;
  std::optional<std::string> search;  // found anywhere in the text, ignoring ASCII case
};

struct LogRow {
  StoredLogLine stored;
  bool textCut = false;  // the text goes on past what was read
};

struct ToolRow {
  std::string model;
  std::string lastVersion;
  std::optional<std::int64_t> firstSeenMillis;
  std::optional<std::int64_t> lastSeenMillis;
  bool configured = false;
};

// Satisfaction answers by level: 1 满意, 2 一般, 3 不满意, and any other.
struct LevelCounts {
  std::array<std::int64_t, 3> levels{};
  std::int64_t other = 0;
  std::int64_t total() const { return levels[0] + levels[1] + levels[2] + other; }
};

// A tool and one of its functions or versions.
using ToolAnd = std::pair<std::string, std::string>;

struct VersionRow {
  std::string model;
  std::string version;
  std::int64_t sessions = 0;
  std::int64_t users = 0;
  std::optional<std::int64_t> firstSeenMillis;  // first session of the version ever
};

// Log levels from here on are counted one by one; others together.
inline constexpr std::int32_t kLowestNamedLogLevel = 0;
inline constexpr std::int32_t kHighestNamedLogLevel = 9;
inline constexpr std::int32_t kOtherLogLevels = -1000;

struct LogLevelName {
  std::int32_t level = 0;
  std::string name;
  std::string color;  // "#rrggbb"
};

// Where an export has got to: rows run by time, then id.
struct RowPosition {
  std::int64_t millis = INT64_MIN;
  std::int64_t id = 0;
};

// How PostgreSQL finds a search's candidates: walking the range newest first
// (quick for a term common among the newest lines), from the trigram index
// (quick for a rare term), or as its planner likes, which misjudges a rare term
// behind millions of newer lines and walks them all. Ways are tried in turn,
// each stopped after its time (none: no limit), so a search costs about what
// the quicker way costs.
enum class SearchWay { Walk, Blocks, Index, ToolWalk, Planner };
struct SearchTry {
  SearchWay way = SearchWay::Planner;
  std::int64_t milliseconds = 0;
  // Walk: looks at this many of the newest lines at most (0: all), and gives
  // nothing unless they fill the page. ToolWalk: walks the tool's lines whole
  // when they are at most this many, else gives nothing (and nothing without
  // a tool); it is not stopped.
  std::int64_t lines = 0;
};
std::vector<SearchTry> defaultSearchTries();

class DashboardQueries {
 public:
  // Without a connection ("--store none") every answer is empty.
  explicit DashboardQueries(SqlConnection* sql) : sql_(sql), searchTries_(defaultSearchTries()) {}
  // The ways a search on PostgreSQL tries; the last is let run to the end.
  void setSearchTries(std::vector<SearchTry> tries) { searchTries_ = std::move(tries); }
  // Newer lines a search on SQLite walks by time at most to find older
  // matches out of id order; beyond, it asks the text index.
  void setNewerLinesWalked(std::int64_t lines) { newerLinesWalked_ = lines; }
  // Lines of a search term an export lists at most; beyond, it filters the range.
  void setMostListedMatches(std::int64_t matches) { mostListedMatches_ = matches; }
  // Text index candidates a search of one tool on SQLite takes at most; with
  // more, it walks the tool's lines.
  void setMostToolSearchCandidates(std::int64_t candidates) { mostToolSearchCandidates_ = candidates; }
  // A tool's lines in a range walked whole at most (see tool_log_reads.h).
  void setMostToolLinesWalked(std::int64_t lines) { mostToolLinesWalked_ = lines; }

  std::int64_t openSessions(const std::optional<std::string>& model);
  // Oldest first, from the row after `after`.
  std::vector<StoredSession> sessions(const Scope& scope, RowPosition after, std::size_t limit);
  std::vector<StoredSatisfaction> satisfactionReports(const Scope& scope, RowPosition after, std::size_t limit);
  // When the tool's version had its first session.
  std::optional<std::int64_t> versionFirstSeen(const ToolAnd& key);

  // Names and colours the tool's configuration gives its log levels.
  std::vector<LogLevelName> logLevelNames(const std::string& model);
  void saveLogLevelNames(const std::string& model, const std::vector<LogLevelName>& names);

  // Newest first, each text cut after `textChars` characters.
  std::vector<LogRow> logPage(const LogFilter& filter, std::size_t offset, std::size_t limit, std::size_t textChars);
  std::optional<StoredLogLine> logLine(std::int64_t id);
  // Oldest first, whole texts, from the row after `after`.
  std::vector<StoredLogLine> logLines(const LogFilter& filter, RowPosition after, std::size_t limit);
  // Where the lines of a filter with a search term stand, oldest first, found
  // once through the text index; nothing without an index to use or when the
  // term matches too many lines to list (logLines then filters as it reads).
  std::optional<std::vector<RowPosition>> logMatches(const LogFilter& filter);
  // The lines of `matches` after `after`, as logLines gives them; those removed meanwhile are left out.
  std::vector<StoredLogLine> logLinesAmong(const std::vector<RowPosition>& matches, RowPosition after,
                                           std::size_t limit);

  // Configured tools first, then the most recently seen.
  std::vector<ToolRow> tools(const std::optional<std::string>& search, std::size_t offset, std::size_t limit);
  // By name, from the one after `afterModel` (all when nothing).
  std::vector<ToolConfig> toolConfigs(const std::optional<std::string>& afterModel, std::size_t limit);

 private:
  // An export's first `limit` lines of a search term, oldest first, from the
  // blocks of line ids that may hold them; nothing when they cannot tell, when
  // more than `mostBlocks` (0: any number) may hold a term too short for the
  // text index, or after `milliseconds` (0: no limit).
  std::optional<std::vector<RowPosition>> firstSearchPositions(const LogFilter& filter, std::size_t limit,
                                                               std::size_t mostBlocks = 0,
                                                               std::int64_t milliseconds = 0);
  SqlConnection* sql_;
  std::vector<SearchTry> searchTries_;
  std::int64_t newerLinesWalked_ = 50'000;
  std::int64_t mostListedMatches_ = 50'000;  // 16 bytes each
  std::int64_t mostToolSearchCandidates_ = 20'000;
  std::int64_t mostToolLinesWalked_ = 65'536;
};

}  // namespace zandle::service
