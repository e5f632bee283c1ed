#include "store/sql_database.h"

#include "common/clock.h"
#include "store/login_detail_id.h"
#include "store/query_helpers.h"
#include "store/sql_schema.h"

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

}  // namespace

SqlDatabase::SqlDatabase(std::unique_ptr<SqlConnection> connection, bool createSchema) : sql_(std::move(connection)) {
  if (createSchema) {
    sql_->runScript(schemaScript(sql_->dialect()));
    upgradeSchema(*sql_);
  }
}

void SqlDatabase::begin() {
  // IMMEDIATE takes SQLite's write lock up front, so a busy database is waited
  // for instead of failing half-way through the batch.
  sql_->runScript(sql_->dialect() == SqlDialect::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN");
}
void SqlDatabase::commit() { sql_->runScript("COMMIT"); }
void SqlDatabase::rollback() {
  try {
    sql_->runScript("ROLLBACK");
  } catch (const StoreError&) {
    // Nothing open, or the connection is gone; either way nothing is kept.
  }
}
bool SqlDatabase::recover() { return sql_->reconnect(); }

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
    if (!result.rows.empty()) return static_cast<std::int32_t>(integerAt(result.rows.front(), 0));
  }
  throw StoreError("no free login detail id found");
}

bool SqlDatabase::closeSession(const SessionClosing& closing) {
  const SqlResult updated = sql_->run(
      "UPDATE sessions SET left_ms = ?, leave_address = ? WHERE login_detail_id = ? AND left_ms IS NULL",
      {closing.arrival.millis, closing.arrival.address, std::int64_t{closing.sessionId}});
  if (updated.changedRows > 0) return true;
  return !sql_->run("SELECT 1 FROM sessions WHERE login_detail_id = ?", {std::int64_t{closing.sessionId}})
              .rows.empty();
}

void SqlDatabase::insertLogLine(const LogLine& line) {
  sql_->run(
      "INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
      {std::int64_t{line.uin}, std::int64_t{line.level}, line.model, line.version, line.text,
       SqlBlob{line.rawLogInfo}, line.arrival.millis, line.arrival.address});
}

void SqlDatabase::insertSatisfaction(const SatisfactionReport& report) {
  sql_->run(
      "INSERT INTO satisfaction (uin, level, model, version, function, raw_model_name_ver, satis_info, "
      "received_ms, address) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {std::int64_t{report.uin}, std::int64_t{report.level}, report.model, report.version, report.function,
       SqlBlob{report.rawModelNameVer}, report.satisInfo, report.arrival.millis, report.arrival.address});
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
  const std::vector<RemovedRecord> removed = zandle::service::removeRecords(*sql_, kind, filter, limit);
  uncount(kind, removed);
  return static_cast<std::int64_t>(removed.size());
}

// Nothing is counted at ingestion yet beyond the records themselves; counts
// kept for the dashboard are taken down here, record by record.
void SqlDatabase::uncount(RecordKind, const std::vector<RemovedRecord>&) {}

std::int64_t SqlDatabase::forgetToolSightings(std::int32_t uin) { return zandle::service::forgetToolSightings(*sql_, uin); }

void SqlDatabase::recordHealthCheck(std::int64_t millis) {
  sql_->run("INSERT INTO service_health (id, checked_ms) VALUES (1, ?) "
            "ON CONFLICT (id) DO UPDATE SET checked_ms = excluded.checked_ms",
            {millis});
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
