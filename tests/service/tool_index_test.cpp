// A tool's log lines read through the side table by tool and the lines past
// its mark equal a direct filter and sort over every line, page by page and
// walked as the export walks them, wherever the mark is and whatever times
// the lines arrived with; removals take their side rows with them.
#include <gtest/gtest.h>

#include <random>

#include "store_test_support.h"
#include "store/dashboard_queries.h"
#include "store/sql_connection.h"
#include "store/store_location.h"
#include "store/tool_index.h"
#include "tally_test_support.h"

namespace zandle::servicetest {
namespace {

using service::SqlValue;

constexpr std::int64_t kDay = 86'400'000;
constexpr std::int64_t kStart = 1'700'000'000'000;
constexpr std::size_t kPage = 51;
// "Rare" has few lines, "Idle" none.
const char* kTools[] = {"Alpha", "Beta", "绘图", "Alpha", "Beta", "Alpha", "Rare"};

class ToolIndexTest : public StoreTest {
 protected:
  service::SqlConnection& sql() { return *database_->sqlConnection(); }

  // Lines about in time order, up to a day early or late; now and then the side
  // table is filled by a random number of lines between batches.
  void writeRandom(int lines, unsigned seed, const char* onlyTool = nullptr) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    database_->begin();
    for (int i = 0; i < lines; ++i) {
      const std::int64_t at = kStart + (written_ + i) % 20'000 * (20 * kDay / 20'000) +
                              static_cast<std::int64_t>(random() % (2 * kDay)) - kDay;
      // Equal times too, so the id decides.
      const std::int64_t rounded = pick(4) == 0 ? at / 60'000 * 60'000 : at;
      const int level = pick(400) == 0 ? 7 : pick(3);  // 7 rare: found through the index by level
      database_->insertLogLine({1 + pick(20), level, onlyTool ? onlyTool : kTools[pick(7) == 6 ? 6 : pick(6)], "1.0", "line", "line",
                                {rounded, "10.0.0.1"}});
      if (i % 300 == 299) {
        database_->commit();
        if (pick(8) == 0) database_->indexToolLines(1 + pick(3'000));
        database_->begin();
      }
    }
    database_->commit();
    written_ += lines;
  }

  std::vector<std::int64_t> directIds(const service::LogFilter& filter, bool newestFirst, std::size_t offset,
                                      std::size_t limit) {
    std::string query = "SELECT id FROM log_lines WHERE model = ? AND received_ms >= ? AND received_ms < ?";
    std::vector<SqlValue> parameters{*filter.scope.model, filter.scope.range.fromMillis, filter.scope.range.toMillis};
    if (filter.level) {
      query += " AND level = ?";
      parameters.emplace_back(std::int64_t{*filter.level});
    }
    query += newestFirst ? " ORDER BY received_ms DESC, id DESC" : " ORDER BY received_ms, id";
    query += " LIMIT ? OFFSET ?";
    parameters.insert(parameters.end(), {static_cast<std::int64_t>(limit), static_cast<std::int64_t>(offset)});
    std::vector<std::int64_t> ids;
    for (const auto& row : sql().run(query, parameters).rows) ids.push_back(std::stoll(*row.at(0)));
    return ids;
  }

  // Every tool-scoped page and export walk equals the direct filter and sort.
  void expectAsDirect(const std::string& when, std::optional<std::int64_t> mostWalked = std::nullopt) {
    service::DashboardQueries queries(&sql());
    if (mostWalked) queries.setMostToolLinesWalked(*mostWalked);
    const service::TimeRange ranges[] = {{kStart - 2 * kDay, kStart + 22 * kDay},
                                         {kStart + 5 * kDay + 1234, kStart + 8 * kDay}};
    std::size_t seen = 0;
    for (const char* tool : {"Alpha", "绘图", "Rare", "Idle"}) {
      for (const auto& range : ranges) {
        for (const std::optional<std::int32_t> level : {std::optional<std::int32_t>{}, std::optional<std::int32_t>{1},
                                                         std::optional<std::int32_t>{7}}) {
          const service::LogFilter filter{{range, std::string(tool)}, level, std::nullopt};
          const std::string what = when + ": " + tool + " level " + std::to_string(level.value_or(-1)) + " from " +
                                   std::to_string(range.fromMillis);
          for (std::size_t offset : {std::size_t{0}, std::size_t{50}, std::size_t{437}}) {
            EXPECT_EQ(pageIds(queries, filter, offset, kPage), directIds(filter, true, offset, kPage))
                << what << " page at " << offset;
          }
          const std::vector<std::int64_t> walked = walkedIds(queries, filter, 97);
          EXPECT_EQ(walked, directIds(filter, false, 0, 1'000'000)) << what << " walked";
          seen += walked.size();
        }
      }
    }
    EXPECT_GT(seen, 1000u) << when;
  }

  std::int64_t number(const std::string& query) { return std::stoll(sql().run(query).rows.at(0).at(0).value_or("0")); }
  std::int64_t mark() { return number("SELECT done_id FROM tool_index"); }

  int written_ = 0;
};

TEST_P(ToolIndexTest, ToolPagesAndWalksEqualADirectSortWhereverTheMarkIs) {
  writeRandom(3'000, 1);
  EXPECT_LT(mark(), number("SELECT MAX(id) FROM log_lines"));
  EXPECT_TRUE(service::toolIndexedUpTo(sql()));
  expectAsDirect("partly filled");
  while (database_->indexToolLines(1'000)) {
  }
  expectAsDirect("filled");
  // Past 16,384 lines the writer fills the side table itself.
  writeRandom(17'000, 2);
  EXPECT_GE(mark(), 16'384);
  expectAsDirect("filled by the writer, newest past the mark");
  expectToolIndexMatchesLines(sql(), "written");
  // A tool with more lines than a read walks before it asks the index by
  // level: all of them walked, or too many to, the database's choice. Rare
  // lines at the ranges' very ends tell a walk that stops one short.
  database_->begin();
  for (const std::int64_t at : {kStart - 2 * kDay, kStart + 5 * kDay + 1234, kStart + 8 * kDay - 1,
                                kStart + 22 * kDay - 1}) {
    database_->insertLogLine({3, 7, "Alpha", "1.0", "line", "line", {at, "10.0.0.1"}});
  }
  database_->commit();
  writeRandom(20'000, 4, "Alpha");
  expectAsDirect("one tool with many lines");
  expectAsDirect("one tool with more lines than are walked whole", 0);

  // Retention and forgetting a user take lines below and past the mark.
  database_->begin();
  EXPECT_GT(database_->removeRecords(service::RecordKind::LogLine, {kStart + 3 * kDay, std::nullopt}, 100'000), 0);
  EXPECT_GT(database_->removeRecords(service::RecordKind::LogLine, {std::nullopt, 7}, 100'000), 0);
  database_->commit();
  expectToolIndexMatchesLines(sql(), "removed");
  expectAsDirect("removed");
  while (database_->indexToolLines(5'000)) {
  }
  expectToolIndexMatchesLines(sql(), "removed, then filled");

  // Too far behind, reads filter log_lines as before.
  sql().runScript("UPDATE tool_index SET done_id = done_id - 200000");
  EXPECT_FALSE(service::toolIndexedUpTo(sql()));
  expectAsDirect("too far behind");
}

// A store from before the side table, with the index by tool it replaces: a
// small one is filled at start and the old index goes.
TEST_P(ToolIndexTest, AStoreFromBeforeIsFilledAndItsOldIndexGoes) {
  writeRandom(4'000, 3);
  sql().runScript("DROP TABLE tool_index; DROP TABLE log_lines_by_tool; "
                  "CREATE INDEX log_lines_by_tool_time ON log_lines (model, received_ms, id)");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_EQ(mark(), number("SELECT MAX(id) FROM log_lines"));
  expectToolIndexMatchesLines(sql(), "migrated");
  if (GetParam() == Backend::Postgres) {
    // Dropped CONCURRENTLY, outside the transactions, by the indexer.
    EXPECT_TRUE(service::retireToolTimeIndex(sql()));
  }
  EXPECT_EQ(number(GetParam() == Backend::Sqlite
                       ? "SELECT COUNT(*) FROM sqlite_master WHERE name = 'log_lines_by_tool_time'"
                       : "SELECT COUNT(*) FROM pg_class WHERE relname = 'log_lines_by_tool_time'"),
            0);
  expectAsDirect("migrated");
}

INSTANTIATE_TEST_SUITE_P(Stores, ToolIndexTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
