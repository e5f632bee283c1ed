// PostgreSQL backend through libpq; several service instances may share the database.
#pragma once

#include <map>
#include <string>

#include "store/sql_connection.h"

struct pg_conn;

namespace zandle::service {

class PostgresConnection final : public SqlConnection {
 public:
  explicit PostgresConnection(std::string url);
  ~PostgresConnection() override;

  SqlDialect dialect() const override { return SqlDialect::Postgres; }
  SqlResult run(std::string_view sql, const std::vector<SqlValue>& parameters) override;
  void runScript(std::string_view sql) override;
  bool reconnect() override;

 private:
  const std::string& prepare(std::string_view sql, std::size_t parameterCount);
  [[noreturn]] void raise(std::string_view what) const;

  std::string url_;
  pg_conn* conn_ = nullptr;
  std::map<std::string, std::string, std::less<>> statementNames_;
};

}  // namespace zandle::service
