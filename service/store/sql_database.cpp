#include "store/sql_database.h"

#include <algorithm>

#include "common/clock.h"
#include "store/line_counts.h"
#include "store/line_times.h"
#include "store/login_detail_id.h"
#include "store/query_helpers.h"
#include "store/row_batches.h"
#include "store/sql_schema.h"
#include "store/text_blocks.h"
#include "store/text_search.h"
#include "store/tool_index.h"
#include "common/logger.h"

namespace zandle::service {
using namespace query;

namespace {

std::string joinFunctions(const std::vector<std::string>& functions) {
  std::string joined;
  for (const auto& name : functions) {
    if (!joined.empty()) joined += ',';
    joined += name;
  }
  return joined;
}

constexpr int kLoginDetailIdAttempts = 32;
// Lines written before the writer moves them into the side table by tool, and
// the most it moves at once: one large sorted fill writes each page it touches
// once, where every batch would touch a page per tool.
constexpr std::int64_t kToolIndexEvery = 16'384;
constexpr std::int64_t kToolIndexMost = 65'536;
constexpr int kCountSlicesAtStart = 4;
// ANALYZE measures the text index's own tables too, and SQLite plans by those
// figures until the next start: taken while the index was small (a new
// store's first start), they have it scan all of the index's blocks to drop
// a few after each merge, which made adding lines some 20 times slower at 3
// million lines. They are set to what SQLite assumes of a table it has no
// figures for (2^20 rows), and loaded again.
constexpr const char* kAnalyzeSqlite =
    "PRAGMA analysis_limit = 1000; ANALYZE; "
    "UPDATE sqlite_stat1 SET stat = '1048576' || substr(stat, instr(stat || ' ', ' ')) "
    "WHERE tbl LIKE 'log\\_text\\_%' ESCAPE '\\'; "
    "ANALYZE sqlite_master;";
// Lines a slice of the text index's idle work adds to their blocks of ids: read by id, a few milliseconds.
constexpr std::int64_t kBlocksSlice = 8'192;

}  // namespace

SqlDatabase::SqlDatabase(std::unique_ptr<SqlConnection> connection, bool createSchema) : sql_(std::move(connection)) {
  if (createSchema) {
    sql_->runScript(schemaScript(sql_->dialect()));
    upgradeSchema(*sql_);
    // SQLite chooses between a tool's index and a level's by these figures
    // (a rare tool's errors are found through the tool); a sample is enough.
    if (sql_->dialect() == SqlDialect::Sqlite) sql_->runScript(kAnalyzeSqlite);
    // Lines a stopped writer left uncounted (those it wrote since it last
    // counted); any beyond a few slices are counted when the writer is idle.
    try {
      for (int slice = 0; slice < kCountSlicesAtStart && countLines(kToolIndexMost); ++slice) {
      }
    } catch (const StoreError& error) {
      logWarning(std::string("store: log lines left to count later: ") + error.what());
    }
  }
}

void SqlDatabase::begin() {
  pendingLines_.clear();
  pendingAnswers_.clear();
  tallies_.discard();
  // IMMEDIATE takes SQLite's write lock up front, so a busy database is waited
  // for instead of failing half-way through the batch.
  if (sql_->dialect() == SqlDialect::Sqlite) {
    sql_->runScript("BEGIN IMMEDIATE");
  } else {
    sql_->runLater("BEGIN", {});  // with the batch's first statement: one round trip fewer
  }
}
void SqlDatabase::commit() { awaitCommit(sendCommit()); }

// On PostgreSQL the records, their counts and the COMMIT go in one round trip.
std::uint64_t SqlDatabase::sendCommit() {
  linesSinceToolIndex_ += static_cast<std::int64_t>(pendingLines_.size());
  writePendingRecords();
  tallies_.flush(*sql_);
  if (sql_->dialect() == SqlDialect::Sqlite) {
    sql_->runScript("COMMIT");
    return 0;
  }
  sql_->runLater("COMMIT", {});
  return sql_->send();
}

void SqlDatabase::awaitCommit(std::uint64_t sent) {
  sql_->await(sent);
  if (linesSinceToolIndex_ < kToolIndexEvery) return;
  linesSinceToolIndex_ = 0;
  // In a transaction of its own: the batch is committed whatever becomes of it.
  try {
    indexToolLines(kToolIndexMost);
  } catch (const StoreError& error) {
    logWarning(std::string("store: log lines by tool left for later: ") + error.what());
  }
}

bool SqlDatabase::indexToolLines(std::int64_t batchRows) { return indexAndCountLines(batchRows, true); }

bool SqlDatabase::countLines(std::int64_t batchRows) { return indexAndCountLines(batchRows, false); }

bool SqlDatabase::indexAndCountLines(std::int64_t batchRows, bool index) {
  const bool sqlite = sql_->dialect() == SqlDialect::Sqlite;
  sql_->runScript(sqlite ? "BEGIN IMMEDIATE" : "BEGIN");
  try {
    // No line below either mark is still to come: on PostgreSQL the fill holds the lines' lock alone.
    if (!sqlite) sql_->run("SELECT pg_advisory_xact_lock(?)", {kLogLinesLock});
    const bool moreToIndex = index && zandle::service::indexToolLines(*sql_, batchRows);
    Tallies counted;
    const bool moreToCount = countNewLines(*sql_, counted, batchRows);
    counted.flush(*sql_);
    sql_->flush();
    // Caught up: SQLite drops the index the side table replaces (PostgreSQL's indexer does).
    const bool retiring = index && !moreToIndex && sqlite && !toolTimeIndexGone_;
    if (retiring) retireToolTimeIndex(*sql_);
    sql_->runScript("COMMIT");
    toolTimeIndexGone_ = toolTimeIndexGone_ || retiring;
    return moreToIndex || moreToCount;
  } catch (const StoreError&) {
    try {
      sql_->runScript("ROLLBACK");
    } catch (const StoreError&) {
      // The connection is gone; nothing was kept.
    }
    throw;
  }
}
void SqlDatabase::rollback() {
  pendingLines_.clear();
  pendingAnswers_.clear();
  tallies_.discard();
  sql_->discardLater();
  // A batch sent behind a failed one ended with it: no ROLLBACK to warn of.
  if (!sql_->inTransaction()) return;
  try {
    sql_->runScript("ROLLBACK");
  } catch (const StoreError&) {
    // Nothing open, or the connection is gone; either way nothing is kept.
  }
}
bool SqlDatabase::recover() {
  // A side connection that cannot come back is opened afresh when next asked for.
  if (side_ && !side_->reconnect()) side_.reset();
  return sql_->reconnect();
}

SqlConnection* SqlDatabase::sideConnection() {
  if (side_) return side_.get();
  try {
    side_ = sql_->openAnother();
  } catch (const StoreError&) {
    return nullptr;  // tried again at the next page
  }
  return side_.get();
}

void SqlDatabase::recordToolSighting(const ToolSighting& sighting) {
  sql_->run(
      "INSERT INTO tools (model, last_version, first_seen_ms, last_seen_ms, last_uin, last_address) "
      "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (model) DO UPDATE SET last_version = excluded.last_version, "
      "last_seen_ms = excluded.last_seen_ms, last_uin = excluded.last_uin, last_address = excluded.last_address",
      {sighting.model, sighting.version, sighting.arrival.millis, sighting.arrival.millis,
       std::int64_t{sighting.uin}, sighting.arrival.address});
}

std::int32_t SqlDatabase::openSession(const SessionOpening& session) {
  // A drawn id that is taken (by chance, or by a session from before random
  // ids) inserts nothing, and another is drawn.
  for (int attempt = 0; attempt < kLoginDetailIdAttempts; ++attempt) {
    const SqlResult result = sql_->run(
        "INSERT INTO sessions (login_detail_id, uin, model, extra, version, raw_model_name_ver, entered_ms, "
        "enter_address) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (login_detail_id) DO NOTHING "
        "RETURNING login_detail_id",
        {std::int64_t{randomLoginDetailId()}, std::int64_t{session.uin}, session.model,
         session.extra ? SqlValue(*session.extra) : SqlValue(std::monostate{}), session.version,
         SqlBlob{session.rawModelNameVer}, session.arrival.millis, session.arrival.address});
    if (!result.rows.empty()) {
      tallies_.countSession(session.model, session.version, static_cast<std::uint32_t>(session.uin),
                            session.arrival.millis);
      return static_cast<std::int32_t>(integerAt(result.rows.front(), 0));
    }
  }
  throw StoreError("no free login detail id found");
}

bool SqlDatabase::closeSession(const SessionClosing& closing) {
  const SqlResult updated = sql_->run(
      "UPDATE sessions SET left_ms = ?, leave_address = ? WHERE login_detail_id = ? AND left_ms IS NULL "
      "RETURNING id, model, entered_ms",
      {closing.arrival.millis, closing.arrival.address, std::int64_t{closing.sessionId}});
  if (!updated.rows.empty()) {
    const Row& row = updated.rows.front();
    // A session the back-fill has still to reach is counted, closing and all, when it gets there.
    if (backfillMarks_.counted(*sql_, "sessions", integerAt(row, 0))) {
      const std::int64_t entered = integerAt(row, 2);
      tallies_.countClosing(textAt(row, 1), entered, std::max<std::int64_t>(0, closing.arrival.millis - entered));
    }
    return true;
  }
  return !sql_->run("SELECT 1 FROM sessions WHERE login_detail_id = ?", {std::int64_t{closing.sessionId}})
              .rows.empty();
}

void SqlDatabase::insertLogLine(const LogLine& line) {
  pendingLines_.push_back(line);  // counted later, many at a time (see line_counts.h)
}

// Many rows a statement: a few round trips to PostgreSQL for a whole batch of reports.
void SqlDatabase::writePendingRecords() {
  std::vector<SqlValue> values;
  // The side table by tool is filled only past lines whose writers have committed.
  if (!pendingLines_.empty() && sql_->dialect() == SqlDialect::Postgres) {
    sql_->runLater("SELECT pg_advisory_xact_lock_shared(?)", {kLogLinesLock});
  }
  values.reserve(pendingLines_.size() * 8);
  for (const LogLine& line : pendingLines_) {
    values.insert(values.end(), {std::int64_t{line.uin}, std::int64_t{line.level}, line.model, line.version, line.text,
                                 SqlBlob{line.rawLogInfo}, line.arrival.millis, line.arrival.address});
  }
  runRows(*sql_, "INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address)", 8, "",
          values);
  pendingLines_.clear();
  values.clear();
  for (const SatisfactionReport& report : pendingAnswers_) {
    values.insert(values.end(), {std::int64_t{report.uin}, std::int64_t{report.level}, report.model, report.version,
                                 report.function, SqlBlob{report.rawModelNameVer}, report.satisInfo,
                                 report.arrival.millis, report.arrival.address});
  }
  runRows(*sql_,
          "INSERT INTO satisfaction (uin, level, model, version, function, raw_model_name_ver, satis_info, "
          "received_ms, address)",
          9, "", values);
  pendingAnswers_.clear();
}

void SqlDatabase::insertSatisfaction(const SatisfactionReport& report) {
  pendingAnswers_.push_back(report);
  tallies_.countAnswer(report.model, report.version, report.function, report.level, report.arrival.millis);
}

void SqlDatabase::saveToolConfig(const ToolConfig& config) {
  sql_->run(
      "INSERT INTO tool_config (model, warning_level, functions, updated_ms) VALUES (?, ?, ?, ?) "
      "ON CONFLICT (model) DO UPDATE SET warning_level = excluded.warning_level, "
      "functions = excluded.functions, updated_ms = excluded.updated_ms",
      {config.model, std::int64_t{config.warningLevel}, joinFunctions(config.functions), nowMillis()});
}

bool SqlDatabase::deleteToolConfig(std::string_view model) {
  return sql_->run("DELETE FROM tool_config WHERE model = ?", {std::string(model)}).changedRows > 0;
}

std::int64_t SqlDatabase::removeRecords(RecordKind kind, const RemovalFilter& filter, std::int64_t limit) {
  writePendingRecords();  // records of this transaction may be among them
  if (kind == RecordKind::LogLine && sql_->dialect() == SqlDialect::Postgres) {
    sql_->run("SELECT pg_advisory_xact_lock_shared(?), pg_advisory_xact_lock_shared(?)",
              {kLogLinesLock, kLogTextsLock});
  }
  const std::vector<RemovedRecord> removed = zandle::service::removeRecords(*sql_, kind, filter, limit);
  uncount(kind, removed);
  return static_cast<std::int64_t>(removed.size());
}

// Records the back-fill has still to reach were never counted.
void SqlDatabase::uncount(RecordKind kind, const std::vector<RemovedRecord>& removed) {
  const std::string source = kind == RecordKind::Session ? "sessions" : kind == RecordKind::LogLine ? "log_lines"
                                                                                                    : "satisfaction";
  // Lines past the lines' mark are not counted yet either.
  const std::int64_t linesCounted =
      kind == RecordKind::LogLine && !removed.empty() ? linesCountedThrough(*sql_) : 0;
  for (const RemovedRecord& record : removed) {
    if (!backfillMarks_.counted(*sql_, source, record.id)) continue;
    if (kind == RecordKind::LogLine && record.id > linesCounted) continue;
    if (kind == RecordKind::Session) {
      tallies_.countSession(record.model, record.version, static_cast<std::uint32_t>(record.uin), record.atMillis, -1);
      if (record.leftMillis) tallies_.countClosing(record.model, record.atMillis, 0, -1);
    } else if (kind == RecordKind::LogLine) {
      tallies_.countLogLine(record.model, record.version, record.level, record.atMillis, -1);
    } else {
      tallies_.countAnswer(record.model, record.version, record.function, record.level, record.atMillis, -1);
    }
  }
}

std::int64_t SqlDatabase::forgetToolSightings(std::int32_t uin) { return zandle::service::forgetToolSightings(*sql_, uin); }

void SqlDatabase::recordHealthCheck(std::int64_t millis) {
  sql_->run("INSERT INTO service_health (id, checked_ms) VALUES (1, ?) "
            "ON CONFLICT (id) DO UPDATE SET checked_ms = excluded.checked_ms",
            {millis});
}

bool SqlDatabase::backfillTallies(std::int64_t batchRows) {
  return zandle::service::backfillTallies(*sql_, tallies_, batchRows);
}

bool SqlDatabase::indexText(std::int64_t batchRows) {
  const bool moreTimes = indexLineTimes(*sql_, kBlocksSlice);
  const bool moreLines = indexNewLines(*sql_, batchRows);
  const bool moreErrors = indexNewErrorLines(*sql_, batchRows);
  return summarizeTextBlocks(*sql_, kBlocksSlice) || moreLines || moreErrors || moreTimes;
}

bool SqlDatabase::isKnownModel(std::string_view model) {
  const std::string name(model);
  return !sql_->run("SELECT 1 FROM tools WHERE model = ? UNION ALL SELECT 1 FROM tool_config WHERE model = ?",
                    {name, name})
              .rows.empty();
}

std::optional<ToolConfig> SqlDatabase::toolConfig(std::string_view model) {
  const SqlResult result =
      sql_->run("SELECT model, warning_level, functions FROM tool_config WHERE model = ?", {std::string(model)});
  if (result.rows.empty()) return std::nullopt;
  return toolConfigFrom(result.rows.front());
}

}  // namespace zandle::service
