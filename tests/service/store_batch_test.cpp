// Writes sent together (one round trip on PostgreSQL): a failed one fails the
// batch, the transaction keeps none of it, and the connection goes on working.
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

INSTANTIATE_TEST_SUITE_P(Stores, StoreBatchTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
