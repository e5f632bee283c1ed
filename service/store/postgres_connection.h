// PostgreSQL backend through libpq; several service instances may share the database.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "store/sql_connection.h"

struct pg_conn;
struct pg_result;

namespace zandle::service {

class PostgresConnection final : public SqlConnection {
 public:
  using Result = std::unique_ptr<pg_result, void (*)(pg_result*)>;

  explicit PostgresConnection(std::string url);
  ~PostgresConnection() override;

  SqlDialect dialect() const override { return SqlDialect::Postgres; }
  SqlResult run(std::string_view sql, const std::vector<SqlValue>& parameters) override;
  SqlResult runBinary(std::string_view sql, const std::vector<SqlValue>& parameters) override;
  std::optional<SqlResult> runWithin(std::string_view sql, const std::vector<SqlValue>& parameters,
                                     std::int64_t milliseconds, std::string_view settings = {}) override;
  void runScript(std::string_view sql) override;
  bool reconnect() override;
  std::unique_ptr<SqlConnection> openAnother() const override;
  void runLater(std::string_view sql, std::vector<SqlValue> parameters) override;
  void flush() override;
  std::uint64_t send() override;
  void await(std::uint64_t sent) override;
  void awaitOrWake(std::uint64_t sent, int wake) override;
  void discardLater() override { later_.clear(); }
  bool inTransaction() override;

 private:
  struct Statement {
    std::string sql;
    std::vector<SqlValue> parameters;
  };
  const std::string& prepare(std::string_view sql, std::size_t parameterCount);
  SqlResult runIn(std::string_view sql, const std::vector<SqlValue>& parameters, int resultFormat);
  // The prepared statement's result as it came (text: 0, or binary: 1).
  Result execute(std::string_view sql, const std::vector<SqlValue>& parameters, int resultFormat);
  // A statement's rows, or nothing when statement_timeout stopped it; throws on other failures.
  std::optional<SqlResult> collect(const pg_result* result) const;
  // Statements sent in pipeline mode, their results not read yet.
  struct Sent {
    std::uint64_t ticket = 0;
    std::size_t statements = 0;
    std::size_t done = 0;  // statements whose results have all come
    std::string failure;
  };
  // Reads the results of every group sent; each call that waits for an answer does so first.
  void settle();
  // Reads the results of the groups sent up to `ticket`.
  void readThrough(std::uint64_t ticket);
  // Takes what has come without waiting; true once the group `ticket` is all in.
  bool arrived(std::uint64_t ticket);
  // Takes one result of the first group sent (null: a statement's end); true when it was its last.
  bool takeResult(pg_result* result);
  [[noreturn]] void raise(std::string_view what) const;
  // Each session's settings, after connecting and reconnecting.
  void applySessionSettings();
  // The connection's error message when the script fails.
  std::optional<std::string> tryScript(const std::string& sql);
  // Ends runWithin's transaction; the failure when it could not.
  std::optional<std::string> rollBack();

  std::string url_;
  pg_conn* conn_ = nullptr;
  std::map<std::string, std::string, std::less<>> statementNames_;
  std::vector<Statement> later_;
  std::deque<Sent> sent_;
  std::uint64_t lastSent_ = 0;
  std::map<std::uint64_t, std::string> failures_;  // groups read, not yet awaited
};

}  // namespace zandle::service
