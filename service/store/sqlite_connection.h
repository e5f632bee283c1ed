// SQLite backend: one file in WAL mode with full synchronous commits.
#pragma once

#include <map>
#include <string>

#include "store/sql_connection.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zandle::service {

class SqliteConnection final : public SqlConnection {
 public:
  SqliteConnection(const std::string& path, bool readOnly);
  ~SqliteConnection() override;

  SqlDialect dialect() const override { return SqlDialect::Sqlite; }
  SqlResult run(std::string_view sql, const std::vector<SqlValue>& parameters) override;
  void runScript(std::string_view sql) override;
  std::unique_ptr<SqlConnection> openAnother() const override;

 private:
  sqlite3_stmt* prepare(std::string_view sql);
  [[noreturn]] void raise(std::string_view what) const;

  std::string path_;
  bool readOnly_ = false;
  sqlite3* db_ = nullptr;
  std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

}  // namespace zandle::service
