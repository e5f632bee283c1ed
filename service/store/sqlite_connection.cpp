#include "store/sqlite_connection.h"

#include <sqlite3.h>

#include "store/database.h"

namespace zandle::service {
namespace {

constexpr int kBusyTimeoutMs = 10'000;

// Resets the statement whatever way the caller leaves.
struct StatementReset {
  sqlite3_stmt* statement;
  ~StatementReset() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }
};

}  // namespace

SqliteConnection::SqliteConnection(const std::string& path, bool readOnly) : path_(path), readOnly_(readOnly) {
  const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                    SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw StoreError("cannot open " + path + ": " + message);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db_, 1);
  try {
    // FULL syncs the WAL on every commit: a reply is only sent after the record is on disk.
    if (!readOnly) runScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
  } catch (const StoreError&) {
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError("cannot open SQLite store " + path + ": " + message);
  }
}

std::unique_ptr<SqlConnection> SqliteConnection::openAnother() const {
  return std::make_unique<SqliteConnection>(path_, readOnly_);
}

SqliteConnection::~SqliteConnection() {
  for (auto& entry : statements_) sqlite3_finalize(entry.second);
  sqlite3_close(db_);
}

void SqliteConnection::raise(std::string_view what) const {
  throw StoreError(std::string(what) + ": " + sqlite3_errmsg(db_));
}

sqlite3_stmt* SqliteConnection::prepare(std::string_view sql) {
  if (auto found = statements_.find(sql); found != statements_.end()) return found->second;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                         nullptr) != SQLITE_OK) {
    raise("prepare failed");
  }
  statements_.emplace(std::string(sql), statement);
  return statement;
}

SqlResult SqliteConnection::run(std::string_view sql, const std::vector<SqlValue>& parameters) {
  sqlite3_stmt* statement = prepare(sql);
  StatementReset reset{statement};
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const int index = static_cast<int>(i + 1);
    int rc = SQLITE_OK;
    if (const auto* number = std::get_if<std::int64_t>(&parameters[i])) {
      rc = sqlite3_bind_int64(statement, index, *number);
    } else if (const auto* text = std::get_if<std::string>(&parameters[i])) {
      rc = sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_STATIC, SQLITE_UTF8);
    } else if (const auto* blob = std::get_if<SqlBlob>(&parameters[i])) {
      rc = sqlite3_bind_blob64(statement, index, blob->bytes.data(), blob->bytes.size(), SQLITE_STATIC);
    } else {
      rc = sqlite3_bind_null(statement, index);
    }
    if (rc != SQLITE_OK) raise("bind failed");
  }
  SqlResult result;
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) raise("statement failed");
    auto& row = result.rows.emplace_back();
    const int columns = sqlite3_column_count(statement);
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
        row.emplace_back(std::nullopt);
      } else {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
        row.emplace_back(std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, c))));
      }
    }
  }
  result.changedRows = sqlite3_changes64(db_);
  return result;
}

void SqliteConnection::runScript(std::string_view sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw StoreError("script failed: " + message);
  }
}

}  // namespace zandle::service
