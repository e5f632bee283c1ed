// Database operations in SQL common to SQLite and PostgreSQL.
#pragma once

#include <memory>
#include <vector>

#include "store/database.h"
#include "store/sql_connection.h"
#include "store/tallies.h"
#include "store/tally_backfill.h"

namespace zandle::service {

class SqlDatabase final : public Database {
 public:
  // Creates the schema when `createSchema` is set.
  // Tallies (see tallies.h) are kept by every write and written at commit().
  SqlDatabase(std::unique_ptr<SqlConnection> connection, bool createSchema);

  void begin() override;
  void commit() override;
  bool overlapsCommits() const override { return sql_->dialect() == SqlDialect::Postgres; }
  std::uint64_t sendCommit() override;
  void awaitCommit(std::uint64_t sent) override;
  void awaitCommitOrWake(std::uint64_t sent, int wake) override { sql_->awaitOrWake(sent, wake); }
  void rollback() override;
  bool recover() override;
  SqlConnection* sqlConnection() override { return sql_.get(); }
  SqlConnection* sideConnection() override;

  void recordToolSighting(const ToolSighting& sighting) override;
  std::int32_t openSession(const SessionOpening& session) override;
  bool closeSession(const SessionClosing& closing) override;
  void insertLogLine(const LogLine& line) override;
  void insertSatisfaction(const SatisfactionReport& report) override;
  void saveToolConfig(const ToolConfig& config) override;
  bool deleteToolConfig(std::string_view model) override;
  std::int64_t removeRecords(RecordKind kind, const RemovalFilter& filter, std::int64_t limit) override;
  std::int64_t forgetToolSightings(std::int32_t uin) override;
  void recordHealthCheck(std::int64_t millis) override;
  bool backfillTallies(std::int64_t batchRows) override;
  bool indexText(std::int64_t batchRows) override;
  bool indexToolLines(std::int64_t batchRows) override;

  bool isKnownModel(std::string_view model) override;
  std::optional<ToolConfig> toolConfig(std::string_view model) override;

 private:
  // Takes removed records out of the counts kept at ingestion, in the same transaction.
  void uncount(RecordKind kind, const std::vector<RemovedRecord>& removed);
  // Counts the lines past the tallies' mark, and with `index` fills the side
  // table by tool too, in one transaction of their own.
  bool indexAndCountLines(std::int64_t batchRows, bool index);
  bool countLines(std::int64_t batchRows);

  std::unique_ptr<SqlConnection> sql_;
  std::unique_ptr<SqlConnection> side_;  // reads only, on first use
  void writePendingRecords();

  // Log lines and answers of this transaction, written together just before it commits.
  std::vector<LogLine> pendingLines_;
  std::vector<SatisfactionReport> pendingAnswers_;
  // Counts of this transaction's records, written just before it commits.
  Tallies tallies_;
  BackfillMarks backfillMarks_;
  std::int64_t linesSinceToolIndex_ = 0;
  bool toolTimeIndexGone_ = false;  // set once it is known gone
};

}  // namespace zandle::service
