// The rows of each export, a page of them per piece.
#include <algorithm>
#include <chrono>

#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/dashboard_data.h"
#include "dashboard/export_writer.h"

namespace zandle::service {
namespace {

// Rows read at a time, and about the size of a piece: reads go on until it
// is reached. Log texts run from a few bytes to 60 KB: a read of log lines
// takes about kReadBytes, as many rows as the last read's sizes say, within
// bounds (at most 64 rows of 60 KB at once). Each read is a statement that
// PostgreSQL plans anew, so short lines are not read 32 at a time.
constexpr std::size_t kFewestLogRows = 32;
constexpr std::size_t kMostLogRows = 64;
constexpr std::size_t kRowsPerRead = 200;
constexpr std::size_t kPieceBytes = 256 * 1024;
constexpr std::size_t kReadBytes = kPieceBytes / 4;
// A piece also ends after this much reading: a sparse export's rows (a large
// tool's term, some 2,000 a second) go out as they are found, not once a
// quarter megabyte of them is (0.8 s to the first byte).
constexpr std::chrono::milliseconds kPieceTime{100};
// Excel reads a CSV file as the local code page unless it starts with this.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string isoTime(std::int64_t millis) {
  std::string text = formatUtc(millis);
  text[10] = 'T';
  return text + "Z";
}

// The client always sends the literal "NULL" (or nothing): no information, so null and an empty cell.
bool holdsSatisInfo(const std::string& satisInfo) { return !satisInfo.empty() && satisInfo != "NULL"; }

std::string jsonOptionalSeconds(std::optional<std::int64_t> millis) {
  return millis ? std::to_string(*millis / 1000.0) : "null";
}

// Rows oldest first (by time, then id), from after the last one written, up to an optional limit.
template <typename Row>
class RowCursor : public ExportCursor {
 public:
  RowCursor(const DashboardFilter& filter, bool csv, std::string_view csvHeader, std::size_t fewestRows,
            std::size_t mostRows)
      : filter_(filter), csv_(csv), csvHeader_(csvHeader), fewestRows_(fewestRows), mostRows_(mostRows),
        rowsPerRead_(fewestRows) {}

  bool next(Database& database, std::string& out) final {
    // Local until the end: a failed read leaves the position where it was.
    RowPosition position = position_;
    std::size_t written = written_;
    if (!started_) out += csv_ ? std::string(kByteOrderMark) + std::string(csvHeader_) : "[";
    bool more = true;
    const auto began = std::chrono::steady_clock::now();
    while (more && out.size() < kPieceBytes && std::chrono::steady_clock::now() - began < kPieceTime) {
      const std::size_t wanted = filter_.limit ? std::min(rowsPerRead_, *filter_.limit - written) : rowsPerRead_;
      const std::vector<Row> rows = wanted == 0 ? std::vector<Row>() : read(database, position, wanted);
      const std::size_t before = out.size();
      for (const Row& row : rows) {
        out += csv_ ? csvRow(row) + "\r\n" : (written == 0 ? "\n" : ",\n") + jsonRow(row);
        ++written;
      }
      if (!rows.empty()) {
        position = {timeOf(rows.back()), rows.back().id};
        const std::size_t rowBytes = std::max<std::size_t>(1, (out.size() - before) / rows.size());
        rowsPerRead_ = std::clamp(kReadBytes / rowBytes, fewestRows_, mostRows_);
      }
      more = wanted > 0 && rows.size() == wanted;
    }
    if (!more && !csv_) out += "\n]\n";
    started_ = true;
    position_ = position;
    written_ = written;
    return more;
  }

 protected:
  virtual std::vector<Row> read(Database& database, RowPosition after, std::size_t limit) = 0;
  virtual std::int64_t timeOf(const Row& row) const = 0;
  virtual std::string csvRow(const Row& row) const = 0;
  virtual std::string jsonRow(const Row& row) const = 0;
  const DashboardFilter filter_;

 private:
  const bool csv_;
  const std::string_view csvHeader_;
  const std::size_t fewestRows_;
  const std::size_t mostRows_;
  std::size_t rowsPerRead_;
  bool started_ = false;
  RowPosition position_;
  std::size_t written_ = 0;
};

class LogCursor final : public RowCursor<StoredLogLine> {
 public:
  LogCursor(const DashboardFilter& filter, bool csv)
      : RowCursor(filter, csv, "id,received,address,uin,level,tool,version,text\r\n", kFewestLogRows,
                  kMostLogRows) {}

 private:
  std::vector<StoredLogLine> read(Database& database, RowPosition after, std::size_t limit) override {
    DashboardQueries queries(database.sqlConnection());
    // A search term's lines are listed at the first read: a rare term's are
    // then read by id, not looked for across the range at every read.
    if (!matchesLooked_) {
      matches_ = queries.logMatches(filter_.logFilter());
      matchesLooked_ = true;
    }
    return matches_ ? queries.logLinesAmong(*matches_, after, limit)
                    : queries.logLines(filter_.logFilter(), after, limit);
  }
  std::int64_t timeOf(const StoredLogLine& stored) const override { return stored.line.arrival.millis; }
  std::string csvRow(const StoredLogLine& stored) const override {
    const LogLine& line = stored.line;
    return std::to_string(stored.id) + "," + isoTime(line.arrival.millis) + "," + csvTextCell(line.arrival.address) +
           "," + std::to_string(line.uin) + "," + std::to_string(line.level) + "," + csvTextCell(line.model) + "," +
           csvTextCell(line.version) + "," + csvTextCell(line.text);
  }
  std::string jsonRow(const StoredLogLine& stored) const override {
    const LogLine& line = stored.line;
    return "{\"id\":" + std::to_string(stored.id) + ",\"received\":\"" + isoTime(line.arrival.millis) +
           "\",\"address\":" + jsonString(line.arrival.address) + ",\"uin\":" + std::to_string(line.uin) +
           ",\"level\":" + std::to_string(line.level) + ",\"tool\":" + jsonString(line.model) +
           ",\"version\":" + jsonString(line.version) + ",\"text\":" + jsonString(line.text) + "}";
  }

  bool matchesLooked_ = false;
  std::optional<std::vector<RowPosition>> matches_;
};

class SessionCursor final : public RowCursor<StoredSession> {
 public:
  SessionCursor(const DashboardFilter& filter, bool csv)
      : RowCursor(filter, csv, "login_detail_id,uin,tool,extra,version,entered,enter_address,left,leave_address\r\n",
                  kRowsPerRead, kRowsPerRead) {}

 private:
  std::vector<StoredSession> read(Database& database, RowPosition after, std::size_t limit) override {
    return DashboardQueries(database.sqlConnection()).sessions(filter_.scope(), after, limit);
  }
  std::int64_t timeOf(const StoredSession& session) const override { return session.entered.millis; }
  std::string csvRow(const StoredSession& session) const override {
    return std::to_string(session.loginDetailId) + "," + std::to_string(session.uin) + "," + csvTextCell(session.model) + "," +
           (session.extra ? csvTextCell(*session.extra) : "") + "," + csvTextCell(session.version) + "," +
           isoTime(session.entered.millis) + "," + csvTextCell(session.entered.address) + "," +
           (session.left ? isoTime(session.left->millis) + "," + csvTextCell(session.left->address) : ",");
  }
  std::string jsonRow(const StoredSession& session) const override {
    return "{\"loginDetailId\":" + std::to_string(session.loginDetailId) + ",\"uin\":" + std::to_string(session.uin) +
           ",\"tool\":" + jsonString(session.model) +
           ",\"extra\":" + (session.extra ? jsonString(*session.extra) : "null") +
           ",\"version\":" + jsonString(session.version) + ",\"entered\":\"" + isoTime(session.entered.millis) +
           "\",\"enterAddress\":" + jsonString(session.entered.address) +
           ",\"left\":" + (session.left ? "\"" + isoTime(session.left->millis) + "\"" : "null") +
           ",\"leaveAddress\":" + (session.left ? jsonString(session.left->address) : "null") + "}";
  }
};

class SatisfactionCursor final : public RowCursor<StoredSatisfaction> {
 public:
  SatisfactionCursor(const DashboardFilter& filter, bool csv)
      : RowCursor(filter, csv, "id,received,address,uin,level,tool,version,function,satis_info\r\n", kRowsPerRead,
                  kRowsPerRead) {}

 private:
  std::vector<StoredSatisfaction> read(Database& database, RowPosition after, std::size_t limit) override {
    return DashboardQueries(database.sqlConnection()).satisfactionReports(filter_.scope(), after, limit);
  }
  std::int64_t timeOf(const StoredSatisfaction& stored) const override { return stored.report.arrival.millis; }
  std::string csvRow(const StoredSatisfaction& stored) const override {
    const SatisfactionReport& report = stored.report;
    return std::to_string(stored.id) + "," + isoTime(report.arrival.millis) + "," +
           csvTextCell(report.arrival.address) + "," + std::to_string(report.uin) + "," +
           std::to_string(report.level) + "," + csvTextCell(report.model) + "," + csvTextCell(report.version) + "," +
           csvTextCell(report.function) + "," + (holdsSatisInfo(report.satisInfo) ? csvTextCell(report.satisInfo) : "");
  }
  std::string jsonRow(const StoredSatisfaction& stored) const override {
    const SatisfactionReport& report = stored.report;
    return "{\"id\":" + std::to_string(stored.id) + ",\"received\":\"" + isoTime(report.arrival.millis) +
           "\",\"address\":" + jsonString(report.arrival.address) + ",\"uin\":" + std::to_string(report.uin) +
           ",\"level\":" + std::to_string(report.level) + ",\"tool\":" + jsonString(report.model) +
           ",\"version\":" + jsonString(report.version) + ",\"function\":" + jsonString(report.function) +
           ",\"satisInfo\":" + (holdsSatisInfo(report.satisInfo) ? jsonString(report.satisInfo) : "null") + "}";
  }
};

// Figures of the period and its days first, then the functions by tool and name, a page at a time.
class SummaryCursor final : public ExportCursor {
 public:
  explicit SummaryCursor(const DashboardFilter& filter) : filter_(filter) {}

  bool next(Database& database, std::string& out) override {
    DashboardQueries queries(database.sqlConnection());
    TallyQueries tallies(database.sqlConnection());
    if (!started_) {
      SlotSeries series = loadSeries(tallies, filter_);
      const SessionFigures period = series.sessionFigures(filter_.range());
      const SessionFigures before = series.sessionFigures(filter_.previousRange());
      out += "{\"from\":\"" + formatDay(filter_.fromDay) + "\",\"to\":\"" + formatDay(filter_.toDay) +
             "\",\"timeZone\":" + jsonString(filter_.zone->name());
      out += ",\"openSessions\":" + std::to_string(tallies.openSessions(filter_.tool));
      out += ",\"sessionsInPeriod\":" + std::to_string(period.sessions);
      out += ",\"activeUsers\":" + std::to_string(period.users);
      out += ",\"medianSessionSeconds\":" + jsonOptionalSeconds(period.medianMillis);
      out += ",\"previousPeriod\":{\"start\":\"" + isoTime(filter_.previousRange().fromMillis) + "\",\"end\":\"" +
             isoTime(filter_.previousRange().toMillis) + "\",\"sessions\":" + std::to_string(before.sessions) +
             ",\"activeUsers\":" + std::to_string(before.users) +
             ",\"medianSessionSeconds\":" + jsonOptionalSeconds(before.medianMillis) + "},\"days\":[";
      const std::vector<DayFigures> days = loadDays(series, filter_);
      for (std::size_t i = 0; i < days.size(); ++i) {
        const SessionFigures& day = days[i].figures;
        out += (i ? ",{" : "{") + std::string("\"day\":\"") + days[i].bucket.label + "\",\"sessions\":" +
               std::to_string(day.sessions) + ",\"distinctUsers\":" + std::to_string(day.users) +
               ",\"medianSessionSeconds\":" + jsonOptionalSeconds(day.medianMillis) + "}";
      }
      out += "],\"functions\":[";
      started_ = true;
      return true;
    }
    // Each read groups the whole period's rows: many keys at a time, written a page at a time.
    if (next_ == read_.size()) {
      read_ = tallies.functionsAfter(filter_.scope(), last_, kFunctionsPerRead);
      next_ = 0;
      readAll_ = read_.size() < kFunctionsPerRead;
    }
    for (std::size_t written = 0; written < kRowsPerRead && next_ < read_.size(); ++written) {
      const KeyedTally& tally = read_[next_++];
      const FunctionRow function = functionRow(tally);
      out += (last_ ? ",{" : "{") + std::string("\"tool\":") + jsonString(function.model) +
             ",\"function\":" + jsonString(function.function) + ",\"reports\":" + std::to_string(function.answers) +
             ",\"levels\":{";
      for (std::size_t level = 0; level < function.levels.size(); ++level) {
        out += (level ? ",\"" : "\"") + std::to_string(level + kLowestSatisfactionLevel) +
               "\":" + std::to_string(function.levels[level]);
      }
      out += "},\"otherLevels\":" + std::to_string(function.otherLevels) + "}";
      last_ = tally.key;
    }
    const bool more = next_ < read_.size() || !readAll_;
    if (!more) out += "]}\n";
    return more;
  }

 private:
  static constexpr std::size_t kFunctionsPerRead = 4096;

  const DashboardFilter filter_;
  bool started_ = false;
  std::optional<ToolAnd> last_;
  std::vector<KeyedTally> read_;
  std::size_t next_ = 0;
  bool readAll_ = false;
};

class ConfigCursor final : public ExportCursor {
 public:
  bool next(Database& database, std::string& out) override {
    const std::vector<ToolConfig> configs =
        DashboardQueries(database.sqlConnection()).toolConfigs(lastModel_, kRowsPerRead);
    if (!lastModel_) out += "[";
    std::size_t index = lastModel_ ? 1 : 0;
    for (const ToolConfig& config : configs) {
      out += (index++ == 0 ? "\n{" : ",\n{") + std::string("\"tool\":") + jsonString(config.model) +
             ",\"warningLevel\":" + std::to_string(config.warningLevel) + ",\"functions\":[";
      for (std::size_t i = 0; i < config.functions.size(); ++i) out += (i ? "," : "") + jsonString(config.functions[i]);
      out += "]}";
    }
    const bool more = configs.size() == kRowsPerRead;
    if (!more) out += "\n]\n";
    if (!configs.empty()) lastModel_ = configs.back().model;
    return more;
  }

 private:
  std::optional<std::string> lastModel_;
};

}  // namespace

std::shared_ptr<ExportCursor> exportCursor(std::string_view fileName, const DashboardFilter& filter) {
  const bool csv = fileName.ends_with(".csv");
  if (fileName == "summary.json") return std::make_shared<SummaryCursor>(filter);
  if (fileName.starts_with("logs.")) return std::make_shared<LogCursor>(filter, csv);
  if (fileName.starts_with("sessions.")) return std::make_shared<SessionCursor>(filter, csv);
  if (fileName.starts_with("satisfaction.")) return std::make_shared<SatisfactionCursor>(filter, csv);
  if (fileName == "config.json") return std::make_shared<ConfigCursor>();
  return nullptr;
}

}  // namespace zandle::service
