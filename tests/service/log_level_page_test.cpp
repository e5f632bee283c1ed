// A page of one level's log lines, and an export walk of them, read only
// what they show even when the newest lines are all of another level (a
// tool's burst of notices after weeks of mixed lines), and equal a direct
// filter and sort.
#include <gtest/gtest.h>

#include "store_test_support.h"
#include "store/dashboard_queries.h"
#include "store/sql_connection.h"

namespace zandle::servicetest {
namespace {

using service::SqlValue;

constexpr std::int64_t kDay = 86'400'000;
constexpr std::int64_t kStart = 1'700'000'000'000;
constexpr std::int64_t kMixed = 100'000;  // 40 % level 0, the rest 1 to 9, over 20 days
constexpr std::int64_t kBurst = 300'000;  // then 1 to 9, over the last day
constexpr std::size_t kPage = 51;

class LogLevelPageTest : public StoreTest {
 protected:
  service::SqlConnection& sql() { return *database_->sqlConnection(); }

  // Straight into log_lines (the pages read nothing else), with fresh statistics
  // for the planner; ids follow time, as they do when lines arrive.
  void writeLines() {
    const bool postgres = sql().dialect() == service::SqlDialect::Postgres;
    // `count` lines of `model` at `level` (an SQL expression of n), `step` ms apart from `start`.
    const auto add = [&](std::int64_t count, const std::string& level, const std::string& model, std::int64_t start,
                         std::int64_t step) {
      sql().run("WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < ?) "
                "INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) "
                "SELECT 7, " + level + ", '" + model + "', '1.0', 'line', CAST('raw' AS " +
                    (postgres ? "BYTEA" : "BLOB") + "), CAST(? AS BIGINT) + n * CAST(? AS BIGINT), '10.0.0.1' FROM g",
                {count, start, step});
    };
    add(kMixed, "CASE WHEN n * 7 % 5 < 2 THEN 0 ELSE n * 7 % 10 END", "Alpha", kStart, 20 * kDay / kMixed);
    add(kBurst, "1 + n * 7 % 9", "Beta", kStart + 20 * kDay, kDay / kBurst);
    sql().runScript("ANALYZE");
  }

  std::vector<std::int64_t> directIds(std::int64_t level, bool newestFirst, std::size_t offset, std::size_t limit) {
    std::vector<std::int64_t> ids;
    for (const auto& row : sql().run(std::string("SELECT id FROM log_lines WHERE level = ? ORDER BY ") +
                                         (newestFirst ? "received_ms DESC, id DESC" : "received_ms, id") +
                                         " LIMIT ? OFFSET ?",
                                     {level, static_cast<std::int64_t>(limit), static_cast<std::int64_t>(offset)})
                           .rows) {
      ids.push_back(std::stoll(*row.at(0)));
    }
    return ids;
  }

  // Rows of log_lines PostgreSQL read while `read` ran: counts not yet sent
  // to its statistics, so in one transaction.
  template <typename Read>
  std::int64_t rowsRead(Read read) {
    const auto count = [&] {
      const auto counted = sql().run(
          "SELECT COALESCE(idx_tup_fetch, 0) + seq_tup_read FROM pg_stat_xact_user_tables WHERE relname = 'log_lines'");
      return std::stoll(counted.rows.at(0).at(0).value_or("0"));
    };
    sql().runScript("BEGIN");
    const std::int64_t before = count();
    read();
    const std::int64_t after = count();
    sql().runScript("ROLLBACK");
    return after - before;
  }

  const service::TimeRange range_{kStart - kDay, kStart + 22 * kDay};
};

TEST_P(LogLevelPageTest, OneLevelsPagesAndWalkReadOnlyWhatTheyShowBehindABurstOfAnother) {
  writeLines();
  service::DashboardQueries queries(&sql());
  for (const std::int64_t level : {0, 1, 2}) {
    const service::LogFilter filter{{range_, std::nullopt}, static_cast<std::int32_t>(level), std::nullopt};
    const std::string what = "level " + std::to_string(level);
    for (const std::size_t offset : {std::size_t{0}, std::size_t{50}}) {
      EXPECT_EQ(pageIds(queries, filter, offset, kPage), directIds(level, true, offset, kPage))
          << what << " page at " << offset;
    }
    EXPECT_EQ(walkedIds(queries, filter, 5'000), directIds(level, false, 0, 1'000'000)) << what << " walked";
  }
  if (GetParam() != Backend::Postgres) return;
  // Level 0's newest lines lie behind the whole burst: a walk by time alone reads all of it.
  const service::LogFilter errors{{range_, std::nullopt}, 0, std::nullopt};
  // Random reads priced as on a store far larger than memory, where the
  // planner chose to walk the index by time through the burst for a page.
  sql().runScript("SET random_page_cost = 40");
  EXPECT_LT(rowsRead([&] { queries.logPage(errors, 0, kPage, 40); }), 1'000) << "page";
  sql().runScript("RESET random_page_cost");
  // Past the last mixed line none of level 0 is left: the walk's last page.
  const service::RowPosition pastMixed{kStart + 20 * kDay + 1, 0};
  EXPECT_LT(rowsRead([&] { EXPECT_TRUE(queries.logLines(errors, pastMixed, 100).empty()); }), 1'000) << "walk's end";
}

INSTANTIATE_TEST_SUITE_P(Stores, LogLevelPageTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
