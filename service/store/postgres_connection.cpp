#include "store/postgres_connection.h"

#include <libpq-fe.h>

#include <memory>

#include "store/database.h"

namespace zandle::service {
namespace {

using ResultHandle = std::unique_ptr<PGresult, decltype(&PQclear)>;

constexpr const char* kDefaultConnectTimeoutSeconds = "10";

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
  runScript("SET client_encoding = 'UTF8'; SET synchronous_commit = on;");
}

PostgresConnection::~PostgresConnection() { PQfinish(conn_); }

void PostgresConnection::raise(std::string_view what) const {
  throw StoreError(std::string(what) + ": " + PQerrorMessage(conn_));
}

bool PostgresConnection::reconnect() {
  if (PQstatus(conn_) == CONNECTION_OK) return true;
  PQreset(conn_);
  statementNames_.clear();  // prepared statements die with the session
  if (PQstatus(conn_) != CONNECTION_OK) return false;
  try {
    runScript("SET client_encoding = 'UTF8'; SET synchronous_commit = on;");
  } catch (const StoreError&) {
    return false;
  }
  return true;
}

const std::string& PostgresConnection::prepare(std::string_view sql, std::size_t parameterCount) {
  if (auto found = statementNames_.find(sql); found != statementNames_.end()) return found->second;
  const std::string name = "zandle_" + std::to_string(statementNames_.size() + 1);
  ResultHandle result(PQprepare(conn_, name.c_str(), numberedPlaceholders(sql).c_str(),
                                static_cast<int>(parameterCount), nullptr),
                      &PQclear);
  if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) raise("prepare failed");
  return statementNames_.emplace(std::string(sql), name).first->second;
}

SqlResult PostgresConnection::run(std::string_view sql, const std::vector<SqlValue>& parameters) {
  const std::string& name = prepare(sql, parameters.size());
  std::vector<std::string> texts(parameters.size());
  std::vector<const char*> values(parameters.size(), nullptr);
  std::vector<int> lengths(parameters.size(), 0);
  std::vector<int> formats(parameters.size(), 0);
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
  ResultHandle result(PQexecPrepared(conn_, name.c_str(), static_cast<int>(parameters.size()), values.data(),
                                     lengths.data(), formats.data(), 0),
                      &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) raise("statement failed");
  SqlResult out;
  const int rows = PQntuples(result.get());
  const int columns = PQnfields(result.get());
  out.rows.reserve(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    auto& row = out.rows.emplace_back();
    for (int c = 0; c < columns; ++c) {
      if (PQgetisnull(result.get(), r, c)) {
        row.emplace_back(std::nullopt);
      } else {
        row.emplace_back(std::string(PQgetvalue(result.get(), r, c),
                                     static_cast<std::size_t>(PQgetlength(result.get(), r, c))));
      }
    }
  }
  const char* changed = PQcmdTuples(result.get());
  out.changedRows = changed && *changed ? std::stoll(changed) : 0;
  return out;
}

void PostgresConnection::runScript(std::string_view sql) {
  ResultHandle result(PQexec(conn_, std::string(sql).c_str()), &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) raise("script failed");
}

}  // namespace zandle::service
