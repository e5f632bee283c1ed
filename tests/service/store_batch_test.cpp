// Writes sent together (one round trip on PostgreSQL): a failed one fails the
// batch, the transaction keeps none of it, and the connection goes on working.
// Reads with blobs as bytes give what plain reads give, blobs decoded.
#include <gtest/gtest.h>

#include "service_test_support.h"
#include "store/database.h"
#include "store/sql_connection.h"
#include "store/store_location.h"

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

INSTANTIATE_TEST_SUITE_P(Stores, StoreBatchTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
