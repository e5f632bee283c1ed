// Writes sent together (one round trip on PostgreSQL): a failed one fails the
// batch, the transaction keeps none of it, and the connection goes on working.
// Reads with blobs as bytes give what plain reads give, blobs decoded.
// PostgreSQL's writer sends a batch while the last one's COMMIT is out: a
// failure there fails the batch behind it too, whose jobs are then tried
// again one by one, as a failed batch's are.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <mutex>

#include "service_test_support.h"
#include "store/database.h"
#include "store/sql_connection.h"
#include "store/store_location.h"
#include "store/store_worker.h"

namespace zandle::servicetest {
namespace {

class StoreBatchTest : public testing::TestWithParam<Backend> {};

std::int64_t rows(service::SqlConnection& sql) {
  return std::stoll(sql.run("SELECT COUNT(*) FROM batch_probe").rows.at(0).at(0).value_or("-1"));
}

TEST_P(StoreBatchTest, AFailedWriteFailsItsBatchAndTheConnectionGoesOn) {
  RunningService service(GetParam());
  if (service.skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  auto database = service::StoreLocation::parse(service.store()).open(false);
  service::SqlConnection& sql = *database->sqlConnection();
  sql.runScript("CREATE TABLE batch_probe (id BIGINT PRIMARY KEY)");

  database->begin();
  EXPECT_THROW(
      {
        sql.runLater("INSERT INTO batch_probe (id) VALUES (?)", {std::int64_t{1}});
        sql.runLater("INSERT INTO batch_probe (id) VALUES (?)", {std::int64_t{1}});  // the key is taken
        sql.runLater("INSERT INTO batch_probe (id) VALUES (?)", {std::int64_t{2}});
        database->commit();
      },
      service::StoreError);
  database->rollback();
  EXPECT_EQ(rows(sql), 0);

  database->begin();
  sql.runLater("INSERT INTO batch_probe (id) VALUES (?)", {std::int64_t{3}});
  sql.runLater("INSERT INTO batch_probe (id) VALUES (?)", {std::int64_t{4}});
  database->commit();
  EXPECT_EQ(rows(sql), 2);
}

TEST_P(StoreBatchTest, AReadWithBlobsAsBytesGivesWhatAPlainReadGives) {
  RunningService service(GetParam());
  if (service.skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  auto database = service::StoreLocation::parse(service.store()).open(false);
  service::SqlConnection& sql = *database->sqlConnection();
  const bool postgres = sql.dialect() == service::SqlDialect::Postgres;
  sql.runScript(std::string("CREATE TABLE blob_probe (id BIGINT PRIMARY KEY, small INTEGER, tiny SMALLINT, ") +
                "name TEXT, data " + (postgres ? "BYTEA" : "BLOB") + ")");
  const std::string bytes("\\x00\0\xff\x80 E\\", 10);
  const std::int64_t extremes[] = {0, -1, 1, INT64_MIN, INT64_MAX, 1'796'716'800'000};
  for (std::size_t i = 0; i < std::size(extremes); ++i) {
    sql.run("INSERT INTO blob_probe (id, small, tiny, name, data) VALUES (?, ?, ?, ?, ?)",
            {extremes[i], std::int64_t{i % 2 ? -2'147'483'647 - 1 : 2'147'483'647}, std::int64_t{i % 2 ? -32'768 : 7},
             std::string("名前 ") + std::to_string(i), service::SqlBlob{bytes.substr(0, i * 2)}});
  }
  sql.run("INSERT INTO blob_probe (id) VALUES (?)", {std::int64_t{42}});
  const std::string read = "SELECT id, small, tiny, name, data FROM blob_probe ORDER BY id";
  const service::SqlResult plain = sql.run(read), binary = sql.runBinary(read, {});
  ASSERT_EQ(binary.rows.size(), std::size(extremes) + 1);
  for (std::size_t r = 0; r < binary.rows.size(); ++r) {
    auto expected = plain.rows[r];
    // PostgreSQL's text results give bytea as "\x" and hex digits.
    if (postgres && expected[4]) {
      std::string decoded;
      for (std::size_t i = 2; i + 1 < expected[4]->size(); i += 2) {
        decoded += static_cast<char>(std::stoi(expected[4]->substr(i, 2), nullptr, 16));
      }
      expected[4] = decoded;
    }
    EXPECT_EQ(binary.rows[r], expected) << "row " << r;
  }
  EXPECT_EQ(binary.rows.at(0).at(0), std::to_string(INT64_MIN));
  EXPECT_EQ(binary.rows.at(4).at(4), std::nullopt);  // id 42
  if (postgres) EXPECT_THROW(sql.runBinary("SELECT 1.5", {}), service::StoreError);
  EXPECT_EQ(sql.runBinary("SELECT 6 * 7", {}).rows.at(0).at(0), "42");
}

TEST_P(StoreBatchTest, ABatchSentBehindAFailingOneLosesNoneOfItsJobs) {
  RunningService service(GetParam());
  if (service.skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
  auto reader = service::StoreLocation::parse(service.store()).open(false);
  service::SqlConnection& sql = *reader->sqlConnection();
  const bool postgres = sql.dialect() == service::SqlDialect::Postgres;
  sql.runScript("CREATE TABLE batch_probe (id BIGINT PRIMARY KEY)");
  sql.run("INSERT INTO batch_probe (id) VALUES (99)");

  service::StoreWorker worker(service::StoreLocation::parse(service.store()).open(false),
                              service::StoreWorkerMode::GroupCommit, "test writer");
  std::mutex mutex;
  std::map<int, bool> answers;
  std::promise<void> allAnswered;
  const auto insert = [&](int id, std::function<void()> then = {}) {
    return service::StoreJob{[id](service::Database& database) {
                               database.sqlConnection()->runLater("INSERT INTO batch_probe (id) VALUES (?)",
                                                                  {std::int64_t{id}});
                             },
                             [&, id, then](bool succeeded) {
                               if (then) then();
                               std::lock_guard lock(mutex);
                               answers[id] = succeeded;
                               if (answers.size() == 5) allAnswered.set_value();
                             }};
  };
  std::promise<void> release, started;
  std::shared_future<void> released = release.get_future().share();
  // The first batch: one job, held until three more have queued behind it;
  // its answer brings a fifth, which goes out while the second batch's COMMIT is.
  service::StoreJob first = insert(1, [&] { worker.submit(insert(5)); });
  first.apply = [&started, released, apply = first.apply](service::Database& database) {
    started.set_value();
    released.wait();
    apply(database);
  };
  ASSERT_TRUE(worker.submit(std::move(first)));
  started.get_future().wait();
  ASSERT_TRUE(worker.submit(insert(2)));
  ASSERT_TRUE(worker.submit(insert(99)));  // the key is taken
  ASSERT_TRUE(worker.submit(insert(4)));
  release.set_value();
  ASSERT_EQ(allAnswered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  worker.stop();

  EXPECT_EQ(answers, (std::map<int, bool>{{1, true}, {2, true}, {4, true}, {5, true}, {99, false}}));
  const service::SqlResult kept = sql.run("SELECT id FROM batch_probe ORDER BY id");
  std::vector<std::string> ids;
  for (const auto& row : kept.rows) ids.push_back(row.at(0).value_or(""));
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "4", "5", "99"}));
  // The first batch; the second and its three jobs alone; then the fifth's
  // batch, which on PostgreSQL went out behind the failing one and was tried again.
  EXPECT_EQ(worker.stats().transactions, postgres ? 7u : 6u);
  EXPECT_EQ(worker.stats().failures, 1u);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreBatchTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
