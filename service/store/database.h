// One connection's worth of storage operations. Each instance is used by one
// thread at a time; writes happen between begin() and commit().
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/record_removal.h"
#include "store/records.h"

namespace zandle::service {

class SqlConnection;

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Database {
 public:
  virtual ~Database() = default;

  virtual void begin() = 0;
  virtual void commit() = 0;
  // commit() in two halves, where the store can take the next batch before
  // the last one's COMMIT has come back (PostgreSQL): sendCommit() sends it,
  // awaitCommit() waits for it and throws as commit() would. Until then
  // nothing of the batch may be taken as kept.
  virtual bool overlapsCommits() const { return false; }
  virtual std::uint64_t sendCommit() {
    commit();
    return 0;
  }
  virtual void awaitCommit(std::uint64_t /*sent*/) {}
  // Waits until awaitCommit(sent) would not, or until the file `wake` is readable.
  virtual void awaitCommitOrWake(std::uint64_t /*sent*/, int /*wake*/) {}
  virtual void rollback() = 0;
  // Re-establishes a broken connection; false while the store stays out of reach.
  virtual bool recover() { return true; }
  // The SQL connection underneath, for the dashboard's queries; none for "--store none".
  virtual SqlConnection* sqlConnection() { return nullptr; }
  // A second connection, for reads run on another thread beside those of
  // sqlConnection(); opened on first use. None without a store, or while it
  // cannot connect (a server at its connection limit): the caller then reads
  // on sqlConnection() alone.
  virtual SqlConnection* sideConnection() { return nullptr; }

  // Writes.
  virtual void recordToolSighting(const ToolSighting& sighting) = 0;
  virtual std::int32_t openSession(const SessionOpening& session) = 0;
  // False when no session has that id. An already closed session keeps its first closing.
  virtual bool closeSession(const SessionClosing& closing) = 0;
  virtual void insertLogLine(const LogLine& line) = 0;
  virtual void insertSatisfaction(const SatisfactionReport& report) = 0;
  virtual void saveToolConfig(const ToolConfig& config) = 0;
  virtual bool deleteToolConfig(std::string_view model) = 0;
  // Deletes at most `limit` records of one kind that match (past retention, or
  // one user's); returns how many went. Call between begin() and commit().
  virtual std::int64_t removeRecords(RecordKind kind, const RemovalFilter& filter, std::int64_t limit) = 0;
  // Clears the user from the tool list's last sighting; returns the tools changed.
  virtual std::int64_t forgetToolSightings(std::int32_t uin) = 0;
  // A small write that proves the store takes writes (for /healthz).
  virtual void recordHealthCheck(std::int64_t millis) = 0;
  // Counts a batch of records stored before the counts were kept; false once all are.
  virtual bool backfillTallies(std::int64_t /*batchRows*/) { return false; }
  // Adds a batch of log lines to the text index and their blocks of ids
  // (times, and on PostgreSQL the pieces of their texts); false once all are in.
  virtual bool indexText(std::int64_t /*batchRows*/) { return false; }
  // Adds a batch of log lines to the side table by tool, in a transaction of
  // its own (not between begin() and commit()); false once all are in.
  virtual bool indexToolLines(std::int64_t /*batchRows*/) { return false; }

  // Reads.
  // A model some tool has asked its configuration for, or one that has a configuration.
  virtual bool isKnownModel(std::string_view model) = 0;
  virtual std::optional<ToolConfig> toolConfig(std::string_view model) = 0;
};

}  // namespace zandle::service
