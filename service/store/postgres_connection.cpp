#include "store/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/logger.h"
#include "store/database.h"

namespace zandle::service {
namespace {

constexpr const char* kDefaultConnectTimeoutSeconds = "10";
constexpr std::string_view kQueryCanceled = "57014";
// Type oids of the columns a binary result may hold.
constexpr Oid kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25;

// "?" placeholders become "$1", "$2", ...; the statements never hold "?" elsewhere.
std::string numberedPlaceholders(std::string_view sql) {
  std::string out;
  int next = 1;
  for (char c : sql) {
    if (c == '?') {
      out += '$' + std::to_string(next++);
    } else {
      out += c;
    }
  }
  return out;
}

// A statement's parameters as libpq takes them; numbers as text, blobs as bytes.
struct BoundParameters {
  explicit BoundParameters(const std::vector<SqlValue>& parameters)
      : texts(parameters.size()), values(parameters.size(), nullptr), lengths(parameters.size(), 0),
        formats(parameters.size(), 0) {
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      if (const auto* number = std::get_if<std::int64_t>(&parameters[i])) {
        texts[i] = std::to_string(*number);
        values[i] = texts[i].c_str();
      } else if (const auto* text = std::get_if<std::string>(&parameters[i])) {
        values[i] = text->c_str();
      } else if (const auto* blob = std::get_if<SqlBlob>(&parameters[i])) {
        values[i] = blob->bytes.data();
        lengths[i] = static_cast<int>(blob->bytes.size());
        formats[i] = 1;  // binary: bytea takes the bytes as they are
      }
    }
  }
  int count() const { return static_cast<int>(values.size()); }

  std::vector<std::string> texts;
  std::vector<const char*> values;
  std::vector<int> lengths;
  std::vector<int> formats;
};

// The schema's "IF NOT EXISTS" steps would print a NOTICE per table at every
// start; warnings and above go to the service's log in its own form.
constexpr const char* kSessionSettings =
    "SET client_encoding = 'UTF8'; SET synchronous_commit = on; SET client_min_messages = warning;";

// PostgreSQL before 18 reads the pages of a bitmap scan one by one: the lines
// a search or an export finds through the trigram index came 4 times slower
// from a cold cache than with 64 read ahead. A setting of the administrator's
// own is kept; a server that cannot read ahead refuses it, and that is all.
constexpr const char* kReadAhead =
    "SELECT set_config('effective_io_concurrency', '64', false) FROM pg_settings WHERE name = "
    "'effective_io_concurrency' AND source = 'default'";

// The dashboard's statements read a page's rows, yet their plans' costs
// (a LIMIT over millions of rows) pass jit_above_cost: compiling them took 8
// to 38 ms that a statement of a few ms never won back. Kept the same way.
constexpr const char* kNoJit =
    "SELECT set_config('jit', 'off', false) FROM pg_settings WHERE name = 'jit' AND source = 'default'";

void logServerMessage(void*, const char* message) {
  std::string_view text(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  std::string line(text);
  std::replace(line.begin(), line.end(), '\n', ' ');  // DETAIL and HINT come on lines of their own
  logWarning("PostgreSQL says: " + line);
}

}  // namespace

PostgresConnection::PostgresConnection(std::string url) : url_(std::move(url)) {
  // Without a connect timeout a reconnect to an unreachable host would stall
  // the writer for good. Settings in the URL come later and win.
  const char* keywords[] = {"connect_timeout", "dbname", nullptr};
  const char* values[] = {kDefaultConnectTimeoutSeconds, url_.c_str(), nullptr};
  conn_ = PQconnectdbParams(keywords, values, 1);
  if (PQstatus(conn_) != CONNECTION_OK) {
    const std::string message = PQerrorMessage(conn_);
    PQfinish(conn_);
    conn_ = nullptr;
    throw StoreError("cannot connect to PostgreSQL: " + message);
  }
  // libpq's own processor writes to stderr as it is, outside the log's lines.
  PQsetNoticeProcessor(conn_, &logServerMessage, nullptr);
  applySessionSettings();
}

PostgresConnection::~PostgresConnection() { PQfinish(conn_); }

void PostgresConnection::raise(std::string_view what) const {
  throw StoreError(std::string(what) + ": " + PQerrorMessage(conn_));
}

std::unique_ptr<SqlConnection> PostgresConnection::openAnother() const {
  return std::make_unique<PostgresConnection>(url_);
}

bool PostgresConnection::reconnect() {
  if (PQstatus(conn_) == CONNECTION_OK) return true;
  PQreset(conn_);
  statementNames_.clear();  // prepared statements die with the session
  later_.clear();
  for (const Sent& group : sent_) failures_[group.ticket] = "connection lost";
  sent_.clear();
  if (PQstatus(conn_) != CONNECTION_OK) return false;
  try {
    applySessionSettings();
  } catch (const StoreError&) {
    return false;
  }
  return true;
}

void PostgresConnection::applySessionSettings() {
  runScript(kSessionSettings);
  if (const std::optional<std::string> refused = tryScript(kReadAhead)) {
    logInfo("PostgreSQL reads bitmap scans without read-ahead: " + *refused);
  }
  if (const std::optional<std::string> refused = tryScript(kNoJit)) {
    logInfo("PostgreSQL compiles statements as its settings say: " + *refused);
  }
}

const std::string& PostgresConnection::prepare(std::string_view sql, std::size_t parameterCount) {
  if (auto found = statementNames_.find(sql); found != statementNames_.end()) return found->second;
  settle();
  const std::string name = "zandle_" + std::to_string(statementNames_.size() + 1);
  Result result(
      PQprepare(conn_, name.c_str(), numberedPlaceholders(sql).c_str(), static_cast<int>(parameterCount), nullptr),
      &PQclear);
  if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) raise("prepare failed");
  return statementNames_.emplace(std::string(sql), name).first->second;
}

std::optional<SqlResult> PostgresConnection::collect(const pg_result* result) const {
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    if (state && std::string_view(state) == kQueryCanceled) return std::nullopt;
    throw StoreError(std::string("statement failed: ") +
                     (result ? PQresultErrorMessage(result) : PQerrorMessage(conn_)));
  }
  SqlResult out;
  const int rows = PQntuples(result);
  const int columns = PQnfields(result);
  // Binary results: integers (big-endian) written out as text, text and bytea as they are.
  std::vector<int> integerBytes(static_cast<std::size_t>(columns), 0);
  for (int c = 0; c < columns && PQbinaryTuples(result); ++c) {
    const Oid type = PQftype(result, c);
    integerBytes[static_cast<std::size_t>(c)] = type == kInt8 ? 8 : type == kInt4 ? 4 : type == kInt2 ? 2 : 0;
    if (type != kInt8 && type != kInt4 && type != kInt2 && type != kText && type != kBytea) {
      throw StoreError("statement failed: a binary result of type " + std::to_string(type));
    }
  }
  out.rows.reserve(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    auto& row = out.rows.emplace_back();
    row.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      const char* value = PQgetvalue(result, r, c);
      const auto length = static_cast<std::size_t>(PQgetlength(result, r, c));
      const int bytes = integerBytes[static_cast<std::size_t>(c)];
      if (PQgetisnull(result, r, c)) {
        row.emplace_back(std::nullopt);
      } else if (bytes > 0 && length == static_cast<std::size_t>(bytes)) {
        std::uint64_t bits = 0;
        for (int i = 0; i < bytes; ++i) bits = bits << 8 | static_cast<unsigned char>(value[i]);
        const std::int64_t number = bytes == 8   ? static_cast<std::int64_t>(bits)
                                    : bytes == 4 ? static_cast<std::int32_t>(bits)
                                                 : static_cast<std::int16_t>(bits);
        row.emplace_back(std::to_string(number));
      } else {
        row.emplace_back(std::string(value, length));
      }
    }
  }
  const char* changed = PQcmdTuples(const_cast<pg_result*>(result));
  out.changedRows = changed && *changed ? std::stoll(changed) : 0;
  return out;
}

SqlResult PostgresConnection::run(std::string_view sql, const std::vector<SqlValue>& parameters) {
  return runIn(sql, parameters, 0);
}

SqlResult PostgresConnection::runBinary(std::string_view sql, const std::vector<SqlValue>& parameters) {
  return runIn(sql, parameters, 1);
}

PostgresConnection::Result PostgresConnection::execute(std::string_view sql, const std::vector<SqlValue>& parameters,
                                                      int resultFormat) {
  const std::string& name = prepare(sql, parameters.size());
  const BoundParameters bound(parameters);
  return Result(PQexecPrepared(conn_, name.c_str(), bound.count(), bound.values.data(), bound.lengths.data(),
                               bound.formats.data(), resultFormat),
                &PQclear);
}

SqlResult PostgresConnection::runIn(std::string_view sql, const std::vector<SqlValue>& parameters, int resultFormat) {
  flush();
  const Result result = execute(sql, parameters, resultFormat);
  std::optional<SqlResult> out = collect(result.get());
  // Only an administrator's statement_timeout (or pg_cancel_backend) stops a plain statement.
  if (!out) throw StoreError("statement failed: canceled");
  return std::move(*out);
}

std::optional<SqlResult> PostgresConnection::runWithin(std::string_view sql, const std::vector<SqlValue>& parameters,
                                                       std::int64_t milliseconds, std::string_view settings) {
  flush();
  // Its ROLLBACK would end the caller's transaction: there it runs as run() does.
  if (PQtransactionStatus(conn_) != PQTRANS_IDLE) return run(sql, parameters);
  // Prepared first: a failure there leaves no transaction open.
  prepare(sql, parameters.size());
  // SET LOCAL: the settings end with the transaction, however the statement
  // ends. The time limit last: each statement after it runs under it.
  std::string begin = "BEGIN";
  for (std::size_t at = 0; at < settings.size();) {
    const std::size_t end = std::min(settings.find("; ", at), settings.size());
    begin += "; SET LOCAL " + std::string(settings.substr(at, end - at));
    at = end + 2;
  }
  begin += "; SET LOCAL statement_timeout = " + std::to_string(std::max<std::int64_t>(0, milliseconds));
  if (const auto failure = tryScript(begin)) {
    rollBack();
    throw StoreError("script failed: " + *failure);
  }
  const Result result = execute(sql, parameters, 0);
  if (const auto failure = rollBack()) throw StoreError("script failed: " + *failure);
  return collect(result.get());
}

std::optional<std::string> PostgresConnection::rollBack() {
  // The ROLLBACK runs under the time limit too. One that runs out in it, or
  // as the statement before it ends, cancels it ("due to user request": the
  // server forgets it was the limit): it is sent again, a few times at most.
  for (int attempt = 1;; ++attempt) {
    settle();
    const Result result(PQexec(conn_, "ROLLBACK"), &PQclear);
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) return std::nullopt;
    const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
    if (attempt == 4 || !state || std::string_view(state) != kQueryCanceled) return std::string(PQerrorMessage(conn_));
  }
}

std::optional<std::string> PostgresConnection::tryScript(const std::string& sql) {
  settle();
  Result result(PQexec(conn_, sql.c_str()), &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return std::nullopt;
  return std::string(PQerrorMessage(conn_));
}

void PostgresConnection::runScript(std::string_view sql) {
  flush();
  if (const auto failure = tryScript(std::string(sql))) throw StoreError("script failed: " + *failure);
}

void PostgresConnection::runLater(std::string_view sql, std::vector<SqlValue> parameters) {
  later_.push_back({std::string(sql), std::move(parameters)});
}

void PostgresConnection::flush() {
  if (!later_.empty()) await(send());
  settle();
}

std::uint64_t PostgresConnection::send() {
  if (later_.empty()) return 0;
  const std::vector<Statement> statements = std::exchange(later_, {});
  // Prepared first: preparing waits for its answer, which a pipeline may not.
  std::vector<const std::string*> names;
  for (const Statement& statement : statements) names.push_back(&prepare(statement.sql, statement.parameters.size()));
  if (PQenterPipelineMode(conn_) != 1) raise("pipeline failed");
  Sent group{++lastSent_, 0, 0, {}};
  for (const Statement& statement : statements) {
    const BoundParameters bound(statement.parameters);
    if (PQsendQueryPrepared(conn_, names[group.statements]->c_str(), bound.count(), bound.values.data(),
                            bound.lengths.data(), bound.formats.data(), 0) != 1) {
      group.failure = PQerrorMessage(conn_);
      break;
    }
    ++group.statements;
  }
  if (PQpipelineSync(conn_) != 1 && group.failure.empty()) group.failure = PQerrorMessage(conn_);
  sent_.push_back(std::move(group));
  return sent_.back().ticket;
}

void PostgresConnection::await(std::uint64_t ticket) {
  readThrough(ticket);
  const auto found = failures_.find(ticket);
  if (found == failures_.end()) return;
  const std::string failure = std::move(found->second);
  failures_.erase(found);
  throw StoreError("statement failed: " + failure);
}

bool PostgresConnection::inTransaction() {
  settle();
  return PQtransactionStatus(conn_) != PQTRANS_IDLE;
}

void PostgresConnection::settle() { readThrough(UINT64_MAX); }

void PostgresConnection::readThrough(std::uint64_t ticket) {
  while (!sent_.empty() && sent_.front().ticket <= ticket) {
    while (!takeResult(PQgetResult(conn_))) {
    }
  }
}

bool PostgresConnection::arrived(std::uint64_t ticket) {
  // A broken connection: the blocking reads end at once, with the failure.
  if (PQconsumeInput(conn_) != 1) settle();
  while (!sent_.empty() && sent_.front().ticket <= ticket && !PQisBusy(conn_)) takeResult(PQgetResult(conn_));
  return sent_.empty() || sent_.front().ticket > ticket;
}

void PostgresConnection::awaitOrWake(std::uint64_t ticket, int wake) {
  while (!arrived(ticket)) {
    pollfd ready[2] = {{PQsocket(conn_), POLLIN, 0}, {wake, POLLIN, 0}};
    if (poll(ready, 2, -1) < 0 && errno != EINTR) return settle();
    if (ready[1].revents != 0) return;
  }
}

// Each statement's results end with a null, then the sync's comes; after the
// first failure the rest come back aborted.
bool PostgresConnection::takeResult(PGresult* result) {
  Sent& group = sent_.front();
  if (group.done < group.statements) {
    if (!result) {
      ++group.done;
      return false;
    }
    const ExecStatusType status = PQresultStatus(result);
    if (group.failure.empty() && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      group.failure = status == PGRES_PIPELINE_ABORTED ? "aborted" : PQresultErrorMessage(result);
    }
    PQclear(result);
    return false;
  }
  std::string failure = std::move(group.failure);
  if (result) {
    if (PQresultStatus(result) != PGRES_PIPELINE_SYNC && failure.empty()) failure = PQresultErrorMessage(result);
    PQclear(result);
  } else if (failure.empty()) {
    // No sync: the connection broke, and what came before proves nothing.
    failure = std::string("no answer: ") + PQerrorMessage(conn_);
  }
  const std::uint64_t ticket = group.ticket;
  sent_.pop_front();
  if (sent_.empty() && PQexitPipelineMode(conn_) != 1 && failure.empty()) failure = PQerrorMessage(conn_);
  if (!failure.empty()) failures_[ticket] = failure;
  return true;
}

}  // namespace zandle::service
