// The little a SQL backend has to offer: parameterised statements with text
// results. Statements use "?" placeholders whatever the backend.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zandle::service {

struct SqlBlob {
  std::string bytes;
};

using SqlValue = std::variant<std::monostate, std::int64_t, std::string, SqlBlob>;

struct SqlResult {
  std::vector<std::vector<std::optional<std::string>>> rows;
  std::int64_t changedRows = 0;
};

enum class SqlDialect { Sqlite, Postgres };

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  virtual SqlDialect dialect() const = 0;
  // Prepared once per statement text, then reused. Throws StoreError.
  virtual SqlResult run(std::string_view sql, const std::vector<SqlValue>& parameters = {}) = 0;
  // As run(), for integer, text and blob columns only, but PostgreSQL's blobs
  // come as their bytes, not hex (its binary results).
  virtual SqlResult runBinary(std::string_view sql, const std::vector<SqlValue>& parameters) {
    return run(sql, parameters);
  }
  // A read as run(), in a transaction of its own with `settings` ("name =
  // value", several separated by "; ", or none), stopped after `milliseconds` (0: no limit): nothing
  // then. Inside a transaction, and on backends without such settings, it
  // runs as run() does.
  virtual std::optional<SqlResult> runWithin(std::string_view sql, const std::vector<SqlValue>& parameters,
                                             std::int64_t /*milliseconds*/, std::string_view /*settings*/ = {}) {
    return run(sql, parameters);
  }
  // Several statements without parameters, for schema set-up.
  virtual void runScript(std::string_view sql) = 0;
  virtual bool reconnect() { return true; }
  // A new connection to the same store, for reads beside this one's; none
  // when there is no such thing. Throws StoreError when it cannot connect.
  virtual std::unique_ptr<SqlConnection> openAnother() const { return nullptr; }
  // A write whose result nobody reads. It may wait to go with the next
  // statement, or flush(): PostgreSQL then takes them all in one round trip.
  // A failure is thrown from that later call.
  virtual void runLater(std::string_view sql, std::vector<SqlValue> parameters) { run(sql, parameters); }
  virtual void flush() {}
  // Sends the writes waiting as flush() does, without waiting for their
  // results: await() with the number returned reads them, and throws as
  // flush() would. Any other call first reads the results of all sent.
  virtual std::uint64_t send() {
    flush();
    return 0;
  }
  virtual void await(std::uint64_t /*sent*/) {}
  // Waits until await(sent) would not, or until the file `wake` is readable.
  virtual void awaitOrWake(std::uint64_t /*sent*/, int /*wake*/) {}
  // False only when the connection knows no transaction is open.
  virtual bool inTransaction() { return true; }
  // Drops writes still waiting (before a rollback).
  virtual void discardLater() {}
};

}  // namespace zandle::service
