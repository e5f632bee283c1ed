// Searching log lines through the text index finds exactly what the plain
// LIKE over the rows finds (a substring, ASCII case ignored, wildcards taken
// literally), page by page, on random lines of both stores, with the index
// behind the newest lines or not; and the index stays whole through removals.
#include <gtest/gtest.h>

#include <random>

#include "store_test_support.h"
#include "store/dashboard_queries.h"
#include "store/postgres_connection.h"
#include "store/sql_schema.h"
#include "store/sql_connection.h"
#include "store/store_location.h"

namespace zandle::servicetest {
namespace {

using service::SqlValue;

constexpr std::int64_t kDay = 86'400'000;
constexpr std::int64_t kStart = 1'700'000'000'000;
constexpr std::size_t kPage = 51;  // a page of 50 and one to tell there are more

// Pieces the random lines are made of: case, wildcards, quotes, accents and Chinese.
const char* kPieces[] = {"render", "Render", "RENDER", "été", "ÉTÉ", "检查", "50%", "a_b", "back\\slash",
                         "\"quoted\"", "x", "timeout", "Time", "  ", "TiMeOuT", "drawing", "layer"};
const char* kTerms[] = {"render", "RENDER", "ndE", "checksum mismatch", "CHECKSUM", "ölfilter", "ÖLFILTER", "lfilt",
                        "été", "ÉTÉ", "检查", "50%",
                        "%", "a_b", "_", "\\sl", "\"quo", "zzz", "x", "ti", "out tim", "er dr", "检"};
const char* kTools[] = {"Alpha", "Beta", "绘图"};

class LogSearchTest : public StoreTest {
 protected:
  // Lines at random times, or `inOrder` as they arrive: in time order but for
  // up to an hour, a few by days.
  void writeRandom(int lines, unsigned seed, bool inOrder = false) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    database_->begin();
    for (int i = 0; i < lines; ++i) {
      std::string text;
      for (int w = 0, words = 1 + pick(5); w < words; ++w) text += std::string(w ? " " : "") + kPieces[pick(17)];
      // Rare ones, which the text index finds: ASCII and other case.
      if (pick(300) == 0) text += pick(2) ? " Checksum Mismatch" : " checksum mismatch";
      if (pick(300) == 0) text += pick(2) ? " ÖLFILTER" : " ölfilter";
      std::int64_t at =
          inOrder ? kStart + i * (20 * kDay / lines) + static_cast<std::int64_t>(random() % 3'600'000u)
                  : kStart + static_cast<std::int64_t>(random() % static_cast<unsigned>(20 * kDay));
      if (inOrder && pick(400) == 0) at += 3 * kDay;
      database_->insertLogLine({1 + pick(50), pick(3), kTools[pick(3)], "1.0", text, text, {at, "10.0.0.1"}});
      if (i % 500 == 499) {
        database_->commit();
        database_->begin();
      }
    }
    database_->commit();
  }

  // The ids the plain LIKE over every row of the range finds, a page newest
  // first, or every one oldest first (as an export runs).
  std::vector<std::int64_t> plainSearch(const service::LogFilter& filter, std::size_t offset,
                                        bool everyOldestFirst = false) {
    std::string sql = "SELECT id FROM log_lines WHERE received_ms >= ? AND received_ms < ?";
    std::vector<SqlValue> parameters{filter.scope.range.fromMillis, filter.scope.range.toMillis};
    if (filter.scope.model) {
      sql += " AND model = ?";
      parameters.emplace_back(*filter.scope.model);
    }
    if (filter.level) {
      sql += " AND level = ?";
      parameters.emplace_back(std::int64_t{*filter.level});
    }
    std::string pattern = "%";
    for (char c : *filter.search) pattern += std::string(c == '%' || c == '_' || c == '\\' ? "\\" : "") + c;
    // The plain scan, kept off any text index.
    sql += " AND lower(text || '') LIKE lower(?) ESCAPE '\\' ORDER BY " +
           std::string(everyOldestFirst ? "received_ms, id" : "received_ms DESC, id DESC") + " LIMIT ? OFFSET ?";
    parameters.insert(parameters.end(), {pattern + "%", everyOldestFirst ? INT32_MAX : static_cast<std::int64_t>(kPage),
                                         static_cast<std::int64_t>(offset)});
    std::vector<std::int64_t> ids;
    for (const auto& row : database_->sqlConnection()->run(sql, parameters).rows) ids.push_back(std::stoll(*row.at(0)));
    return ids;
  }

  void expectSearchesAsPlain(const std::string& when,
                             std::vector<service::SearchTry> tries = service::defaultSearchTries(),
                             std::optional<std::int64_t> newerLinesWalked = std::nullopt,
                             std::optional<std::int64_t> mostToolCandidates = std::nullopt,
                             std::optional<std::int64_t> mostToolLinesWalked = std::nullopt) {
    service::DashboardQueries queries(database_->sqlConnection());
    queries.setSearchTries(std::move(tries));
    if (mostToolLinesWalked) queries.setMostToolLinesWalked(*mostToolLinesWalked);
    if (newerLinesWalked) queries.setNewerLinesWalked(*newerLinesWalked);
    if (mostToolCandidates) queries.setMostToolSearchCandidates(*mostToolCandidates);
    const service::TimeRange all{kStart, kStart + 20 * kDay}, days{kStart + 15 * kDay, kStart + 17 * kDay};
    std::size_t found = 0;
    for (const char* term : kTerms) {
      const std::pair<service::Scope, std::optional<std::int32_t>> filters[] = {
          {{all, std::nullopt}, std::nullopt}, {{all, "Alpha"}, std::nullopt}, {{all, std::nullopt}, 0},
          {{days, "绘图"}, 1}, {{days, std::nullopt}, std::nullopt}};
      for (const auto& [scope, level] : filters) {
        const service::LogFilter filter{scope, level, std::string(term)};
        for (std::size_t offset : {std::size_t{0}, std::size_t{50}}) {
          std::vector<std::int64_t> ids;
          for (const auto& row : queries.logPage(filter, offset, kPage, 400)) ids.push_back(row.stored.id);
          const std::vector<std::int64_t> expected = plainSearch(filter, offset);
          EXPECT_EQ(ids, expected) << when << ": \"" << term << "\" " << scope.model.value_or("every tool")
                                   << " level " << level.value_or(-1) << " from " << offset;
          found += expected.size();
        }
      }
    }
    EXPECT_GT(found, 1000u) << when;  // the terms find something
  }

  // The ids an export of `filter` holds, read `step` lines at a time from
  // where the last read ended, as an export reads them; `listed` says
  // whether the term's lines were listed through the text index.
  std::vector<std::int64_t> exportIds(service::DashboardQueries& queries, const service::LogFilter& filter,
                                      std::size_t step, bool& listed) {
    const std::optional<std::vector<service::RowPosition>> matches = queries.logMatches(filter);
    listed = matches.has_value();
    std::vector<std::int64_t> ids;
    for (service::RowPosition position;;) {
      const std::vector<service::StoredLogLine> lines =
          matches ? queries.logLinesAmong(*matches, position, step) : queries.logLines(filter, position, step);
      for (const auto& line : lines) ids.push_back(line.id);
      if (lines.size() < step) return ids;
      position = {lines.back().line.arrival.millis, lines.back().id};
    }
  }

  // An export of a term only the burst holds starts at the burst: read a
  // few lines at a time, and all in the first read.
  void expectBurstExportsAsPlain(const std::string& when) {
    service::DashboardQueries queries(database_->sqlConnection());
    queries.setMostListedMatches(10);
    for (const char* term : {"benchmark", "CHMARK LI", "line"}) {
      const service::LogFilter filter{{{kStart, kStart + 20 * kDay}, std::nullopt}, std::nullopt, term};
      const std::vector<std::int64_t> expected = plainSearch(filter, 0, true);
      EXPECT_GE(expected.size(), 3'000u) << when << ": " << term;
      for (std::size_t step : {std::size_t{64}, std::size_t{5'000}}) {
        bool listed = true;
        EXPECT_EQ(exportIds(queries, filter, step, listed), expected) << when << ": " << term << " by " << step;
        EXPECT_FALSE(listed) << when << ": " << term;
      }
    }
  }

  // Every term and filter exported as the plain scan finds it, `step` lines
  // a read; returns how many were listed.
  int expectExportsAsPlain(service::DashboardQueries& queries, const std::string& when, std::size_t step = 7) {
    const service::TimeRange all{kStart, kStart + 20 * kDay}, days{kStart + 15 * kDay, kStart + 17 * kDay};
    int listed = 0;
    for (const char* term : kTerms) {
      const std::pair<service::Scope, std::optional<std::int32_t>> filters[] = {
          {{all, std::nullopt}, std::nullopt}, {{all, "Alpha"}, std::nullopt}, {{all, std::nullopt}, 0},
          {{days, "绘图"}, 1}};
      for (const auto& [scope, level] : filters) {
        const service::LogFilter filter{scope, level, std::string(term)};
        bool wasListed = false;
        EXPECT_EQ(exportIds(queries, filter, step, wasListed), plainSearch(filter, 0, true))
            << when << ": \"" << term << "\" " << scope.model.value_or("every tool") << " level "
            << level.value_or(-1) << (wasListed ? ", listed" : ", filtered");
        listed += wasListed;
      }
    }
    return listed;
  }

  // As the writer does when it has nothing else to do; returns the batches it took.
  int indexEverything() {
    // PostgreSQL's text index goes no further than the side table by tool.
    if (GetParam() != Backend::Sqlite) {
      while (database_->indexToolLines(100'000)) {
      }
    }
    int batches = 0;
    for (bool more = true; more; ++batches) {
      database_->begin();
      more = database_->indexText(500);
      database_->commit();
    }
    return batches;
  }

  // PostgreSQL: searched by the blocks of ids that may hold the term alone
  // (the planner after them only where they cannot serve): with every block
  // known, with the newest not summarized yet (read as they are), in a store
  // from before the blocks, and once that has them.
  void expectBlockSearchesAsPlain(const std::string& when) {
    const std::vector<service::SearchTry> blocks{{service::SearchWay::Blocks, 0}, {service::SearchWay::Planner, 0}};
    const auto count = [&](const char* sql) {
      return database_->sqlConnection()->run(sql).rows.at(0).at(0).value_or("");
    };
    EXPECT_EQ(count("SELECT COUNT(*) FROM text_blocks"), count("SELECT COUNT(DISTINCT id >> 10) FROM log_lines_text"));
    expectSearchesAsPlain(when + ", by blocks", blocks);
    database_->sqlConnection()->runScript(
        "DELETE FROM text_blocks WHERE block > 5; UPDATE text_blocks_mark SET done_id = 6 * 1024 - 1");
    expectSearchesAsPlain(when + ", by blocks, the newest not summarized", blocks);
    database_->sqlConnection()->runScript("DROP TABLE text_blocks; DROP TABLE text_blocks_mark");
    expectSearchesAsPlain(when + ", a store from before the blocks", blocks);
    database_ = service::StoreLocation::parse(service_->store()).open(true);
    expectSearchesAsPlain(when + ", by blocks, none summarized yet", blocks);
    indexEverything();
    EXPECT_EQ(count("SELECT COUNT(*) FROM text_blocks"), count("SELECT COUNT(DISTINCT id >> 10) FROM log_lines_text"));
    expectSearchesAsPlain(when + ", by blocks, summarized", blocks);
  }

  void expectIndexWhole(const std::string& when) {
    if (GetParam() != Backend::Sqlite) {
      // Every lowered text belongs to a line there is, and says what the line says.
      EXPECT_EQ(database_->sqlConnection()
                    ->run("SELECT COUNT(*) FROM log_lines_text t LEFT JOIN log_lines l ON l.id = t.id "
                          "WHERE l.id IS NULL OR t.text <> lower(l.text)")
                    .rows.at(0)
                    .at(0),
                "0")
          << when;
      return;
    }
    // Compares the index with the lines it indexes; throws when they differ.
    EXPECT_NO_THROW(database_->sqlConnection()->runScript("INSERT INTO log_text (log_text) VALUES ('integrity-check')"))
        << when;
    // Errors' own holds only some of the lines: its structure is checked, and
    // that it holds exactly the errors up to its mark (a removed one left behind
    // would be counted).
    service::SqlConnection& sql = *database_->sqlConnection();
    EXPECT_NO_THROW(sql.runScript("INSERT INTO log_error_text (log_error_text, rank) VALUES ('integrity-check', 0)"))
        << when;
    for (const char* term : {"render", "checksum", "timeout"}) {
      const std::string held =
          sql.run(std::string("SELECT COUNT(*) FROM log_error_text WHERE log_error_text MATCH '\"") + term + "\"'")
              .rows.at(0).at(0).value_or("");
      const std::string errors = sql.run("SELECT COUNT(*) FROM log_lines WHERE level = 0 AND id <= (SELECT done_id "
                                         "FROM error_text_index) AND lower(text) LIKE ?",
                                         {"%" + std::string(term) + "%"})
                                     .rows.at(0).at(0).value_or("");
      EXPECT_EQ(held, errors) << when << ": " << term;
    }
  }
};

TEST_P(LogSearchTest, FindsWhatThePlainScanFindsThroughIndexingAndRemovals) {
  writeRandom(15'000, 5);
  if (GetParam() == Backend::Postgres) {
    EXPECT_FALSE(database_->sqlConnection()
                     ->run("SELECT 1 FROM pg_indexes WHERE indexname = 'log_text_trgm_keys'")
                     .rows.empty());
  }
  expectSearchesAsPlain("none indexed yet");
  EXPECT_GT(indexEverything(), GetParam() == Backend::Sqlite ? 20 : 0);
  expectIndexWhole("indexed");
  expectSearchesAsPlain("indexed");
  // Older matches out of id order from the text index, not a walk by time.
  expectSearchesAsPlain("indexed, older matches by the index", service::defaultSearchTries(), 0);
  // A tool's search of a term with many candidates walks the tool's lines.
  expectSearchesAsPlain("indexed, a tool's lines walked", service::defaultSearchTries(), std::nullopt, 10);
  writeRandom(2'000, 6);
  expectSearchesAsPlain("the newest not indexed yet");

  // Retention and forgetting a user take their lines out of the index too,
  // indexed or not.
  database_->begin();
  database_->removeRecords(service::RecordKind::LogLine, {kStart + 2 * kDay, std::nullopt}, 100'000);
  database_->removeRecords(service::RecordKind::LogLine, {std::nullopt, 7}, 100'000);
  database_->commit();
  expectSearchesAsPlain("removed");
  expectIndexWhole("removed");
  indexEverything();
  expectIndexWhole("removed, then indexed");
  expectSearchesAsPlain("removed, then indexed");
  if (GetParam() != Backend::Sqlite) return;

  // A store whose older lines were never indexed, lines removed meanwhile.
  database_->sqlConnection()->runScript(
      "INSERT INTO log_text (log_text) VALUES ('delete-all'); UPDATE text_index SET done_id = 0");
  database_->begin();
  database_->removeRecords(service::RecordKind::LogLine, {kStart + 4 * kDay, std::nullopt}, 100'000);
  database_->commit();
  expectSearchesAsPlain("before the back-fill");
  indexEverything();
  expectIndexWhole("back-filled");
  expectSearchesAsPlain("back-filled");

  // A store from before errors had their own index: a small one gets it at
  // start; a larger one has it filled beside the requests, and searches read
  // the errors past its mark meanwhile.
  database_->sqlConnection()->runScript(
      "DROP TABLE log_error_text; DROP TABLE error_text_index; DROP TRIGGER log_error_text_removed");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  expectIndexWhole("errors indexed at start");
  expectSearchesAsPlain("errors indexed at start");
  // Searches of errors take their candidates from it: emptied behind the
  // service's back, it leaves them nothing; other levels' searches find theirs.
  database_->sqlConnection()->runScript("INSERT INTO log_error_text (log_error_text) VALUES ('delete-all')");
  service::DashboardQueries queries(database_->sqlConnection());
  for (const std::int32_t level : {0, 1}) {
    const service::LogFilter filter{{{kStart, kStart + 20 * kDay}, std::nullopt}, level, std::string("render")};
    EXPECT_EQ(queries.logPage(filter, 0, kPage, 400).empty(), level == 0) << "level " << level;
  }
  database_->sqlConnection()->runScript("UPDATE error_text_index SET done_id = 0");
  database_->begin();
  database_->removeRecords(service::RecordKind::LogLine, {kStart + 6 * kDay, std::nullopt}, 100'000);
  database_->commit();
  expectSearchesAsPlain("errors not indexed yet");
  EXPECT_GT(indexEverything(), 1);
  expectIndexWhole("errors back-filled");
  expectSearchesAsPlain("errors back-filled");
}

// The text index is walked from the newest lines and stops once no older one
// can belong on the page; lines a little out of order must not be missed.
TEST_P(LogSearchTest, FindsWhatThePlainScanFindsWhenLinesArriveAboutInTimeOrder) {
  writeRandom(15'000, 7, true);
  indexEverything();
  expectSearchesAsPlain("in order, indexed");
  expectSearchesAsPlain("in order, older matches by the index", service::defaultSearchTries(), 0);
  expectSearchesAsPlain("in order, a tool's lines walked", service::defaultSearchTries(), std::nullopt, 10);
  writeRandom(300, 8, true);
  expectSearchesAsPlain("in order, then older times not indexed yet");
  expectSearchesAsPlain("in order, older times not indexed, older matches by the index",
                        service::defaultSearchTries(), 0);

  // The newest lines a burst without the terms: the matches below it come
  // from the ids that may hold them, whether the store knows their blocks or not.
  database_->begin();
  for (int i = 0; i < 3'000; ++i) {
    database_->insertLogLine({7, i % 3, kTools[i % 3], "1.0", "benchmark line", "benchmark line",
                              {kStart + 20 * kDay - 3 * 3'600'000 + i * 3'000, "10.0.0.1"}});
  }
  database_->commit();
  indexEverything();
  expectSearchesAsPlain("behind a burst");
  expectSearchesAsPlain("behind a burst, older matches by the index", service::defaultSearchTries(), 0);
  expectBurstExportsAsPlain("behind a burst");
  if (GetParam() != Backend::Sqlite) {
    expectBlockSearchesAsPlain("behind a burst");
    // Retention takes the blocks it leaves without lines.
    database_->begin();
    database_->removeRecords(service::RecordKind::LogLine, {kStart + 10 * kDay, std::nullopt}, 100'000);
    database_->commit();
    expectSearchesAsPlain("behind a burst, the oldest removed");
    database_->begin();
    database_->removeRecords(service::RecordKind::LogLine, {kStart + 30 * kDay, std::nullopt}, 100'000);
    database_->commit();
    EXPECT_EQ(database_->sqlConnection()->run("SELECT COUNT(*) FROM text_blocks").rows.at(0).at(0), "0");
    return;
  }
  database_->sqlConnection()->runScript("DELETE FROM line_time_blocks; UPDATE line_times SET done_id = 0");
  expectSearchesAsPlain("behind a burst, no blocks known");
  expectBurstExportsAsPlain("behind a burst, no blocks known");
  database_->begin();
  database_->indexText(500);
  database_->commit();
  expectSearchesAsPlain("behind a burst, the older blocks known");
  expectBurstExportsAsPlain("behind a burst, the older blocks known");
  // Blocks that knew only their latest time are made again when the store opens.
  database_->sqlConnection()->runScript("ALTER TABLE line_time_blocks DROP COLUMN earliest");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_EQ(database_->sqlConnection()->run("SELECT COUNT(*) FROM line_time_blocks").rows.at(0).at(0),
            database_->sqlConnection()->run("SELECT COUNT(DISTINCT id >> 10) FROM log_lines").rows.at(0).at(0));
  expectBurstExportsAsPlain("behind a burst, blocks made again");
  expectSearchesAsPlain("behind a burst, the older blocks known, older matches by the index",
                        service::defaultSearchTries(), 0);

  // Retention takes the blocks it leaves without lines, and only those.
  indexEverything();
  const auto blocksFromFirstLine = [&](const char* comparison) {
    return database_->sqlConnection()
        ->run(std::string("SELECT COUNT(*) FROM line_time_blocks WHERE block ") + comparison +
              " (SELECT MIN(id) FROM log_lines) >> 10")
        .rows.at(0).at(0).value_or("");
  };
  database_->begin();
  database_->removeRecords(service::RecordKind::LogLine, {kStart + 10 * kDay, std::nullopt}, 100'000);
  database_->commit();
  EXPECT_EQ(blocksFromFirstLine("<"), "0");
  EXPECT_EQ(blocksFromFirstLine("="), "1");
  expectSearchesAsPlain("behind a burst, the oldest removed", service::defaultSearchTries(), 0);
  database_->begin();
  database_->removeRecords(service::RecordKind::LogLine, {kStart + 30 * kDay, std::nullopt}, 100'000);
  database_->commit();
  EXPECT_EQ(database_->sqlConnection()->run("SELECT COUNT(*) FROM line_time_blocks").rows.at(0).at(0), "0");
}

// An export with a search term holds what the plain scan finds, oldest
// first, whether it lists a rare term's lines through the text index and
// reads them by id or filters the range as it reads a common one.
TEST_P(LogSearchTest, ExportsWhatThePlainScanFinds) {
  writeRandom(6'000, 9);
  indexEverything();
  writeRandom(400, 10);  // past the index's mark
  service::DashboardQueries queries(database_->sqlConnection());
  // PostgreSQL walks a tool with few lines rather than list its term's.
  EXPECT_GT(expectExportsAsPlain(queries, "indexed, the newest not"), GetParam() == Backend::Sqlite ? 20 : 10);
  queries.setMostListedMatches(3);
  const int listedOfFew = expectExportsAsPlain(queries, "at most 3 listed");
  EXPECT_GT(listedOfFew, 0);
  EXPECT_LT(listedOfFew, 20);
  expectExportsAsPlain(queries, "at most 3 listed, all in the first read", 100'000);

  // Lines removed after they were listed are left out, and the rest still come.
  queries.setMostListedMatches(50'000);
  const service::LogFilter filter{{{kStart, kStart + 20 * kDay}, std::nullopt}, std::nullopt, "MISMATCH"};
  const std::optional<std::vector<service::RowPosition>> matches = queries.logMatches(filter);
  ASSERT_TRUE(matches);
  EXPECT_GT(matches->size(), 10u);
  database_->begin();
  database_->removeRecords(service::RecordKind::LogLine, {kStart + 5 * kDay, std::nullopt}, 100'000);
  database_->commit();
  std::vector<std::int64_t> ids;
  for (service::RowPosition position;;) {
    const auto lines = queries.logLinesAmong(*matches, position, 2);
    for (const auto& line : lines) ids.push_back(line.id);
    if (lines.size() < 2) break;
    position = {lines.back().line.arrival.millis, lines.back().id};
  }
  EXPECT_EQ(ids, plainSearch(filter, 0, true));
  EXPECT_FALSE(ids.empty());
}

// A search of one level reads only the blocks of ids that hold the level's
// lines: a burst of another level holding the term (a tool's notices) costs
// no walk through it, and changes no result.
TEST_P(LogSearchTest, ASearchOfOneLevelLeavesOutTheBlocksOfABurstOfAnother) {
  writeRandom(6'000, 13, true);
  database_->begin();
  for (int i = 0; i < 4'000; ++i) {
    // A few of levels past those a block tells apart, which share one bit.
    const std::int32_t level = i % 1'000 == 500 ? 70 : i % 1'000 == 900 ? -3 : 1;
    database_->insertLogLine({7, level, kTools[i % 3], "1.0", "benchmark timeout render", "benchmark timeout render",
                              {kStart + 20 * kDay - 3 * 3'600'000 + i * 2'000, "10.0.0.1"}});
  }
  database_->commit();
  writeRandom(600, 14, true);  // older lines after the burst's ids
  indexEverything();
  const bool postgres = GetParam() == Backend::Postgres;
  // PostgreSQL's other ways would find the level's lines without the blocks.
  const std::vector<service::SearchTry> tries =
      postgres ? std::vector<service::SearchTry>{{service::SearchWay::Blocks, 0}, {service::SearchWay::Planner, 0}}
               : service::defaultSearchTries();
  const auto expectAsPlain = [&](const std::string& when) {
    service::DashboardQueries queries(database_->sqlConnection());
    queries.setSearchTries(tries);
    const service::TimeRange all{kStart, kStart + 21 * kDay}, late{kStart + 19 * kDay, kStart + 21 * kDay};
    for (const char* term : {"benchmark", "timeout", "render", "checksum"}) {
      for (const std::int32_t level : {0, 1, 2, 70, -3}) {
        for (const service::TimeRange& range : {all, late}) {
          const service::LogFilter filter{{range, std::nullopt}, level, std::string(term)};
          for (std::size_t offset : {std::size_t{0}, std::size_t{50}}) {
            std::vector<std::int64_t> ids;
            for (const auto& row : queries.logPage(filter, offset, kPage, 400)) ids.push_back(row.stored.id);
            EXPECT_EQ(ids, plainSearch(filter, offset)) << when << ": " << term << " level " << level << " from "
                                                        << offset << (range.fromMillis == kStart ? "" : ", late");
          }
          bool listed = false;
          EXPECT_EQ(exportIds(queries, filter, 64, listed), plainSearch(filter, 0, true))
              << when << ": export of " << term << " level " << level;
        }
      }
    }
  };
  expectAsPlain("behind a burst of notices");

  // A burst line made level 2 behind the service's back: its blocks still say
  // they hold no line of level 2, and a search of level 2 does not read them.
  const std::string burstLine =
      database_->sqlConnection()
          ->run("SELECT MIN(id) + 2000 FROM log_lines WHERE text = 'benchmark timeout render'")
          .rows.at(0).at(0).value_or("");
  database_->sqlConnection()->runScript("UPDATE log_lines SET level = 2 WHERE id = " + burstLine);
  if (postgres) database_->sqlConnection()->runScript("UPDATE log_lines_text SET level = 2 WHERE id = " + burstLine);
  const service::LogFilter ofLevel2{{{kStart, kStart + 21 * kDay}, std::nullopt}, 2, std::string("benchmark")};
  service::DashboardQueries queries(database_->sqlConnection());
  queries.setSearchTries(tries);
  EXPECT_TRUE(queries.logPage(ofLevel2, 0, kPage, 400).empty());
  EXPECT_EQ(plainSearch(ofLevel2, 0).size(), 1u);
  // Nor does an export's first read, or PostgreSQL's list of them where its
  // trigram index knows no levels (SQLite's lists only a term with few lines
  // of any level).
  if (postgres) {
    database_->sqlConnection()->runScript(
        "DROP INDEX log_text_trgm_keys; CREATE INDEX log_text_trgm ON log_lines_text USING gin (text gin_trgm_ops)");
  }
  for (const std::int64_t most : postgres ? std::vector<std::int64_t>{10, 50'000} : std::vector<std::int64_t>{10}) {
    queries.setMostListedMatches(most);
    bool listed = false;
    EXPECT_TRUE(exportIds(queries, ofLevel2, 64, listed).empty()) << "at most " << most << " listed";
  }

  // Blocks from before the masks of levels may hold any level.
  database_->sqlConnection()->runScript(postgres ? "ALTER TABLE text_blocks DROP COLUMN levels"
                                                 : "ALTER TABLE line_time_blocks DROP COLUMN levels");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  service::DashboardQueries reopened(database_->sqlConnection());
  reopened.setSearchTries(tries);
  EXPECT_EQ(reopened.logPage(ofLevel2, 0, kPage, 400).size(), 1u);
  database_->sqlConnection()->runScript("UPDATE log_lines SET level = 1 WHERE id = " + burstLine);
  if (postgres) database_->sqlConnection()->runScript("UPDATE log_lines_text SET level = 1 WHERE id = " + burstLine);
  writeRandom(300, 15, true);
  indexEverything();
  expectAsPlain("blocks from before the masks");
}

// A term too short for the text index is read from the blocks whose filters
// may hold it: a line given the term behind the service's back, in a block
// that held it nowhere, is not found; blocks from before the filters are made
// again, and then it is.
TEST_P(LogSearchTest, AShortTermIsReadOnlyFromTheBlocksThatMayHoldIt) {
  writeRandom(6'000, 21, true);
  database_->begin();
  for (int i = 0; i < 40; ++i) {
    const std::string text = "code Qz" + std::to_string(i);
    database_->insertLogLine({7, i % 3, kTools[i % 3], "1.0", text, text, {kStart + i * 9 * 3'600'000, "10.0.0.1"}});
  }
  database_->commit();
  writeRandom(600, 22, true);
  indexEverything();
  const bool postgres = GetParam() == Backend::Postgres;
  const service::TimeRange all{kStart, kStart + 21 * kDay};
  const auto expectAsPlain = [&](const std::string& when) {
    service::DashboardQueries queries(database_->sqlConnection());
    for (const char* term : {"qz", "QZ", "z", "x", "ti", "_", "\\"}) {
      for (const std::optional<std::int32_t> level : {std::optional<std::int32_t>{}, std::optional<std::int32_t>{1}}) {
        for (const std::optional<std::string>& tool :
             {std::optional<std::string>{}, std::optional<std::string>{"Beta"}}) {
          const service::LogFilter filter{{all, tool}, level, std::string(term)};
          for (std::size_t offset : {std::size_t{0}, std::size_t{20}}) {
            std::vector<std::int64_t> ids;
            for (const auto& row : queries.logPage(filter, offset, kPage, 400)) ids.push_back(row.stored.id);
            EXPECT_EQ(ids, plainSearch(filter, offset)) << when << ": " << term << " level " << level.value_or(-1)
                                                        << " " << tool.value_or("every tool") << " from " << offset;
          }
          bool listed = false;
          EXPECT_EQ(exportIds(queries, filter, 16, listed), plainSearch(filter, 0, true))
              << when << ": export of " << term << " level " << level.value_or(-1);
        }
      }
    }
  };
  expectAsPlain("short terms");

  const service::LogFilter qz{{all, std::nullopt}, std::nullopt, std::string("qz")};
  const std::string doctored = "100";
  database_->sqlConnection()->runScript("UPDATE log_lines SET text = text || ' qz' WHERE id = " + doctored);
  if (postgres) {
    database_->sqlConnection()->runScript("UPDATE log_lines_text SET text = text || ' qz' WHERE id = " + doctored);
  }
  const auto found = [&] {
    std::vector<std::int64_t> ids;
    for (const auto& row : service::DashboardQueries(database_->sqlConnection()).logPage(qz, 0, kPage, 400)) {
      ids.push_back(row.stored.id);
    }
    return ids;
  };
  ASSERT_EQ(plainSearch(qz, 0).size(), 41u);
  EXPECT_EQ(found().size(), 40u);

  database_->sqlConnection()->runScript(postgres ? "ALTER TABLE text_blocks DROP COLUMN pairs"
                                                 : "ALTER TABLE line_time_blocks DROP COLUMN pairs");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_EQ(found(), plainSearch(qz, 0)) << "blocks from before";
  indexEverything();
  EXPECT_EQ(found(), plainSearch(qz, 0)) << "blocks made again";
  expectAsPlain("blocks made again");
}

// An export of a tool's rare term, its lines too many to be walked whole at
// once: SQLite lets the database choose, PostgreSQL walks on to each read's end.
TEST_P(LogSearchTest, ExportsATermOfAToolWithManyLinesWhole) {
  database_->begin();
  for (int i = 0; i < 6'000; ++i) {
    const std::string text = i % 1'000 == 999 ? "a needle here" : "plain line";
    database_->insertLogLine({3, i % 3, i % 5 == 0 ? "Beta" : "Alpha", "1.0", text, text,
                              {kStart + i * 60'000, "10.0.0.1"}});
  }
  database_->commit();
  indexEverything();
  service::DashboardQueries queries(database_->sqlConnection());
  queries.setMostListedMatches(0);
  for (const std::int64_t mostWalked : {std::int64_t{0}, std::int64_t{65'536}}) {
    queries.setMostToolLinesWalked(mostWalked);
    for (const std::optional<std::int32_t> level : {std::optional<std::int32_t>{}, std::optional<std::int32_t>{0}}) {
      const service::LogFilter filter{{{kStart, kStart + 20 * kDay}, "Alpha"}, level, std::string("NEEDLE")};
      bool listed = true;
      const std::vector<std::int64_t> expected = plainSearch(filter, 0, true);
      EXPECT_EQ(exportIds(queries, filter, 4, listed), expected) << "walked whole up to " << mostWalked;
      EXPECT_FALSE(listed);
      EXPECT_GE(expected.size(), level ? 1u : 3u);
    }
  }
  // Walked a chunk at a time: no line lost where one chunk ends and the next begins.
  database_->begin();
  for (int i = 0; i < 3'000; ++i) {
    const std::string text = i % 37 == 0 ? "a needle here" : "plain line";
    database_->insertLogLine({3, 1, "Gamma", "1.0", text, text, {kStart + i * 60'000 + 7, "10.0.0.1"}});
  }
  database_->commit();
  while (database_->indexToolLines(100'000)) {
  }
  indexEverything();
  queries.setMostToolLinesWalked(0);
  const service::LogFilter gamma{{{kStart, kStart + 20 * kDay}, "Gamma"}, std::nullopt, std::string("needle")};
  const auto expectGammaAsPlain = [&](const std::string& when) {
    for (std::size_t step : {std::size_t{4}, std::size_t{64}}) {
      bool listed = true;
      EXPECT_EQ(exportIds(queries, gamma, step, listed), plainSearch(gamma, 0, true)) << when << ", by " << step;
    }
  };
  expectGammaAsPlain("indexed");
  // Lines the side table by tool holds but the text index not yet.
  database_->begin();
  for (int i = 0; i < 2'500; ++i) {
    const std::string text = i % 97 == 0 ? "a needle here" : "plain line";
    database_->insertLogLine({3, 1, "Gamma", "1.0", text, text, {kStart + 3'000 * 60'000 + i * 1'000, "10.0.0.1"}});
  }
  database_->commit();
  while (database_->indexToolLines(100'000)) {
  }
  expectGammaAsPlain("the newest not in the text index");
}

// A PostgreSQL store from before the side table, with the trigram index on
// log_lines: a small one has its texts copied at start and the old index goes.
TEST_P(LogSearchTest, APostgresStoreFromBeforeMovesItsTextIndexAside) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite kept its index beside the lines from the start";
  writeRandom(6'000, 9);
  database_->sqlConnection()->runScript(
      "DROP TABLE text_index; DROP TABLE log_lines_text; "
      "CREATE INDEX log_lines_text_trgm ON log_lines USING gin (lower(text) gin_trgm_ops)");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  const auto count = [&](const char* sql) { return database_->sqlConnection()->run(sql).rows.at(0).at(0); };
  EXPECT_EQ(count("SELECT COUNT(*) FROM pg_class WHERE relname = 'log_lines_text_trgm'"), "0");
  EXPECT_EQ(count("SELECT COUNT(*) FROM log_lines_text"), count("SELECT COUNT(*) FROM log_lines"));
  EXPECT_EQ(count("SELECT done_id FROM text_index"), count("SELECT MAX(id) FROM log_lines"));
  expectIndexWhole("moved aside");
  expectSearchesAsPlain("moved aside");
}

// SQLite drops a merged segment's blocks by a range of ids. Planned by the
// figures of a small index (a new store's first start, or a store from
// before), it scanned all of the index's blocks instead, every merge.
TEST_P(LogSearchTest, SqliteDropsTextIndexBlocksByIdWhateverTheIndexHeldAtStart) {
  if (GetParam() != Backend::Sqlite) GTEST_SKIP() << "SQLite's text index";
  const auto plan = [&] {
    std::string detail;
    for (const auto& row :
         database_->sqlConnection()->run("EXPLAIN QUERY PLAN DELETE FROM log_text_data WHERE id >= ? AND id <= ?",
                                         {std::int64_t{5}, std::int64_t{9}})
             .rows) {
      detail += row.at(3).value_or("") + ";";
    }
    return detail;
  };
  EXPECT_NE(plan().find("INTEGER PRIMARY KEY"), std::string::npos) << plan();
  database_->sqlConnection()->runScript(
      "DELETE FROM sqlite_stat1 WHERE tbl = 'log_text_data'; INSERT INTO sqlite_stat1 VALUES ('log_text_data', NULL, "
      "'2')");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_NE(plan().find("INTEGER PRIMARY KEY"), std::string::npos) << plan();
  writeRandom(2'000, 12);
  expectSearchesAsPlain("after a start with a small index's figures");
}

// PostgreSQL finds a search's lines walking by time or from the trigram
// index, trying each for a while: whichever way finishes, and after others
// were stopped, the page is the same.
TEST_P(LogSearchTest, EveryWayOfSearchingPostgresFindsWhatThePlainScanFinds) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite's search has one way";
  writeRandom(15'000, 11);
  indexEverything();
  writeRandom(500, 12);
  using Way = service::SearchWay;
  expectSearchesAsPlain("walking", {{Way::Walk, 0}});
  expectSearchesAsPlain("by the blocks that may hold the term", {{Way::Blocks, 0}});
  expectSearchesAsPlain("from the trigram index", {{Way::Index, 0}});
  expectSearchesAsPlain("as the planner likes", {{Way::Planner, 0}});
  expectSearchesAsPlain("after ways stopped",
                        {{Way::Walk, 1}, {Way::Blocks, 1}, {Way::Index, 1}, {Way::Walk, 1}, {Way::Index, 0}});
  // A walk over the newest few lines answers only when they fill the page.
  expectSearchesAsPlain("after a short walk", {{Way::Walk, 0, 300}, {Way::Index, 0}});
  expectSearchesAsPlain("a short walk last", {{Way::Walk, 0, 300}});
  // A tool's lines walked whole, those past the index's mark too, where the
  // page's own first walk leaves them; or not, when they are too many.
  expectSearchesAsPlain("a tool walked whole", {{Way::ToolWalk, 0, 65'536}, {Way::Blocks, 0}}, std::nullopt,
                        std::nullopt, 0);
  expectSearchesAsPlain("a tool too large to walk whole", {{Way::ToolWalk, 0, 10}, {Way::Blocks, 0}}, std::nullopt,
                        std::nullopt, 0);
}

// A statement stopped for taking too long gives nothing, not a failure, and
// leaves the connection as it was: no time limit or setting on what comes after.
TEST_P(LogSearchTest, APostgresStatementStoppedInTimeLeavesTheConnectionAsItWas) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite lets every statement finish";
  service::SqlConnection& sql = *database_->sqlConnection();
  const auto settings = [&] {
    return sql.run("SELECT current_setting('statement_timeout') || current_setting('enable_bitmapscan')")
        .rows.at(0).at(0).value_or("");
  };
  const std::string before = settings();
  EXPECT_FALSE(sql.runWithin("SELECT pg_sleep(?)", {std::string("2")}, 50, "enable_bitmapscan = off").has_value());
  EXPECT_EQ(settings(), before);
  const auto quick = sql.runWithin("SELECT current_setting('enable_bitmapscan')", {}, 5'000, "enable_bitmapscan = off");
  ASSERT_TRUE(quick.has_value());
  EXPECT_EQ(quick->rows.at(0).at(0), "off");
  EXPECT_EQ(settings(), before);
  const auto both = sql.runWithin(
      "SELECT current_setting('enable_bitmapscan') || ' ' || current_setting('max_parallel_workers_per_gather')", {},
      5'000, "enable_bitmapscan = off; max_parallel_workers_per_gather = 0");
  ASSERT_TRUE(both.has_value());
  EXPECT_EQ(both->rows.at(0).at(0), "off 0");
  EXPECT_EQ(settings(), before);
  EXPECT_THROW(sql.runWithin("SELECT 1 / 0", {}, 5'000), service::StoreError);
  EXPECT_THROW(sql.runWithin("SELECT 1", {}, 5'000, "no_such_setting_here = 1"), service::StoreError);
  EXPECT_EQ(settings(), before);
  EXPECT_EQ(sql.run("SELECT pg_sleep(0.2), 1").rows.at(0).at(1), "1");

  // Inside a transaction the statement neither ends it nor is stopped.
  database_->begin();
  database_->insertLogLine({1, 0, "Alpha", "1.0", "kept", "kept", {kStart, "10.0.0.1"}});
  EXPECT_TRUE(sql.runWithin("SELECT pg_sleep(0.2)", {}, 50).has_value());
  database_->commit();
  EXPECT_EQ(sql.run("SELECT COUNT(*) FROM log_lines WHERE text = 'kept'").rows.at(0).at(0), "1");
}

// A session reads the pages of a bitmap scan ahead (the lines found through
// the trigram index) and compiles no statement, unless the administrator set
// otherwise: that is kept.
TEST_P(LogSearchTest, APostgresSessionReadsAheadAndCompilesNothingUnlessTheAdministratorSaidOtherwise) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite reads as the file system does";
  const auto settings = [](service::SqlConnection& sql) {
    return sql.run("SELECT current_setting('effective_io_concurrency') || ' ' || current_setting('jit')")
        .rows.at(0).at(0).value_or("");
  };
  EXPECT_EQ(settings(*database_->sqlConnection()), "64 off");
  const std::string url = service_->store();
  service::PostgresConnection own(url + (url.find('?') == std::string::npos ? "?" : "&") +
                                  "options=-c%20effective_io_concurrency%3D3%20-c%20jit%3Don");
  EXPECT_EQ(settings(own), "3 on");
}

// Errors are what the overview searches, and few: on PostgreSQL their lowered
// texts have a trigram index of their own, which a search of errors reads
// (not of another level), on a new store and on one that lacks it: built at
// start on a small store, else beside the requests.
TEST_P(LogSearchTest, APostgresSearchOfErrorsReadsTheirOwnTrigramIndex) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite's text index serves every level alike";
  writeRandom(6'000, 13);
  indexEverything();
  const auto usable = [&] {
    return !database_->sqlConnection()
                ->run("SELECT 1 FROM pg_index WHERE indexrelid = 'log_text_errors_trgm'::regclass AND indisvalid")
                .rows.empty();
  };
  const auto scans = [&] {
    service::SqlConnection& sql = *database_->sqlConnection();
    // This session's counts go out when it is next idle, not a second later.
    sql.run("SELECT pg_stat_force_next_flush()");
    return std::stoll(sql.run("SELECT idx_scan FROM pg_stat_user_indexes WHERE indexrelname = 'log_text_errors_trgm'")
                          .rows.at(0).at(0).value_or("-1"));
  };
  const auto expectErrorsRead = [&](const std::string& when) {
    ASSERT_TRUE(usable()) << when;
    service::DashboardQueries queries(database_->sqlConnection());
    queries.setSearchTries({{service::SearchWay::Index, 0}});
    const service::TimeRange all{kStart, kStart + 20 * kDay};
    for (const std::int32_t level : {0, 1}) {
      const service::LogFilter filter{{all, std::nullopt}, level, std::string("checksum mismatch")};
      const std::int64_t before = scans();
      // Again and again: PostgreSQL may plan a statement prepared long ago
      // for any value of its parameters, which would miss the index.
      for (int again = 0; again < 8; ++again) {
        std::vector<std::int64_t> ids;
        for (const auto& row : queries.logPage(filter, 0, kPage, 400)) ids.push_back(row.stored.id);
        EXPECT_EQ(ids, plainSearch(filter, 0)) << when << ", level " << level;
        EXPECT_FALSE(ids.empty()) << when << ", level " << level;
      }
      EXPECT_EQ(scans() - before, level == 0 ? 8 : 0) << when << ", level " << level << ": reads of the errors' index";
    }
  };
  if (std::stoi(database_->sqlConnection()->run("SHOW server_version_num").rows.at(0).at(0).value_or("0")) < 150000) {
    GTEST_SKIP() << "PostgreSQL before 15 reports index reads only within the second";
  }
  // As autovacuum would: a new index's entries wait in its pending list,
  // which the planner rightly thinks dearer than 6,000 lines read in full.
  database_->sqlConnection()->runScript("VACUUM ANALYZE log_lines_text");
  expectErrorsRead("a new store");
  database_->sqlConnection()->runScript("DROP INDEX log_text_errors_trgm");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  expectErrorsRead("a small store without it, at start");
  database_->sqlConnection()->runScript("DROP INDEX log_text_errors_trgm");
  while (service::buildListIndex(*database_->sqlConnection())) {
  }
  expectErrorsRead("a store without it, built beside the requests");
}

// On PostgreSQL the trigram index holds each line's tool and level too, so a
// search of one tool reads that tool's candidates of the level alone (a term
// common in other tools' lines costs it nothing), one tool's errors included;
// a store from before gets it, at start or beside the requests, and loses the
// index of texts alone once it is whole.
TEST_P(LogSearchTest, APostgresSearchOfOneToolReadsOnlyItsOwnCandidates) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite's text index knows no tools";
  service::SqlConnection& sql = *database_->sqlConnection();
  if (std::stoi(sql.run("SHOW server_version_num").rows.at(0).at(0).value_or("0")) < 150000) {
    GTEST_SKIP() << "PostgreSQL before 15 reports index reads only within the second";
  }
  writeRandom(6'000, 14);
  indexEverything();
  const auto has = [&](const char* index) {
    return !database_->sqlConnection()
                ->run("SELECT 1 FROM pg_index WHERE indexrelid = to_regclass(?) AND indisvalid", {std::string(index)})
                .rows.empty();
  };
  const auto read = [&](const char* column, const char* index) {
    service::SqlConnection& connection = *database_->sqlConnection();
    connection.run("SELECT pg_stat_force_next_flush()");
    return std::stoll(connection
                          .run(std::string("SELECT ") + column + " FROM pg_stat_user_indexes WHERE indexrelname = ?",
                               {std::string(index)})
                          .rows.at(0).at(0).value_or("-1"));
  };
  const auto expectOwnCandidatesRead = [&](const std::string& when) {
    ASSERT_TRUE(has("log_text_trgm_keys")) << when;
    EXPECT_FALSE(has("log_text_trgm")) << when;
    database_->sqlConnection()->runScript("VACUUM ANALYZE log_lines_text");
    service::DashboardQueries queries(database_->sqlConnection());
    queries.setSearchTries({{service::SearchWay::Index, 0}});
    const service::TimeRange all{kStart, kStart + 20 * kDay};
    const std::optional<std::int32_t> levels[] = {std::nullopt, 0, 1};
    for (const std::optional<std::int32_t> level : levels) {
      const service::LogFilter filter{{all, "Alpha"}, level, std::string("checksum mismatch")};
      const std::int64_t tuples = read("idx_tup_read", "log_text_trgm_keys");
      const std::int64_t errorScans = read("idx_scan", "log_text_errors_trgm");
      const std::vector<std::int64_t> expected = plainSearch(filter, 0);
      // Again and again: a statement prepared long ago is planned for any value of its parameters.
      for (int again = 0; again < 8; ++again) {
        std::vector<std::int64_t> ids;
        for (const auto& row : queries.logPage(filter, 0, kPage, 400)) ids.push_back(row.stored.id);
        EXPECT_EQ(ids, expected) << when << ", level " << level.value_or(-1);
      }
      EXPECT_FALSE(expected.empty()) << when << ", level " << level.value_or(-1);
      // Every line of the range is indexed and holds the term as it is written: a candidate is a match.
      EXPECT_EQ(read("idx_tup_read", "log_text_trgm_keys") - tuples, 8 * static_cast<std::int64_t>(expected.size()))
          << when << ", level " << level.value_or(-1) << ": candidates read";
      EXPECT_EQ(read("idx_scan", "log_text_errors_trgm"), errorScans) << when << ", level " << level.value_or(-1);
    }
  };
  expectOwnCandidatesRead("a new store");
  const char* before =
      "DROP INDEX log_text_trgm_keys; CREATE INDEX log_text_trgm ON log_lines_text USING gin (text gin_trgm_ops)";
  sql.runScript(before);
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  expectOwnCandidatesRead("a small store from before, at start");
  database_->sqlConnection()->runScript(before);
  while (service::buildListIndex(*database_->sqlConnection())) {
  }
  expectOwnCandidatesRead("a store from before, beside the requests");
}

// Where btree_gin cannot be created (refused here as a server without it
// would), a new store takes the trigram index of texts alone, searches find
// what the plain scan finds, and the list indexes' builds leave it be; once
// btree_gin can be had, the keyed index replaces it.
TEST_P(LogSearchTest, APostgresStoreWithoutBtreeGinKeepsItsIndexOfTextsAlone) {
  if (GetParam() != Backend::Postgres) GTEST_SKIP() << "SQLite's text index needs no extension";
  database_->sqlConnection()->runScript(
      "DROP TABLE log_lines_text; DROP TABLE text_index; DROP TABLE text_blocks; DROP TABLE text_blocks_mark; "
      "DROP EXTENSION btree_gin; "
      "CREATE FUNCTION refuse_btree_gin() RETURNS event_trigger LANGUAGE plpgsql AS $$ BEGIN "
      "IF EXISTS (SELECT 1 FROM pg_event_trigger_ddl_commands() WHERE object_identity = 'btree_gin') THEN "
      "RAISE EXCEPTION 'btree_gin is not available'; END IF; END $$; "
      "CREATE EVENT TRIGGER refuse_btree_gin ON ddl_command_end WHEN TAG IN ('CREATE EXTENSION') "
      "EXECUTE FUNCTION refuse_btree_gin()");
  const auto indexes = [&] {
    std::string names;
    for (const auto& row : database_->sqlConnection()
                               ->run("SELECT indexname FROM pg_indexes WHERE indexname LIKE 'log_text_trgm%' "
                                     "ORDER BY indexname")
                               .rows) {
      names += row.at(0).value_or("") + " ";
    }
    return names;
  };
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_EQ(indexes(), "log_text_trgm ");
  writeRandom(6'000, 16);
  indexEverything();
  expectSearchesAsPlain("without btree_gin");
  service::DashboardQueries queries(database_->sqlConnection());
  EXPECT_GT(expectExportsAsPlain(queries, "without btree_gin"), 0);
  while (service::buildListIndex(*database_->sqlConnection())) {
  }
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_EQ(indexes(), "log_text_trgm ") << "after the list indexes' builds and a start";

  database_->sqlConnection()->runScript("DROP EVENT TRIGGER refuse_btree_gin");
  database_ = service::StoreLocation::parse(service_->store()).open(true);
  EXPECT_EQ(indexes(), "log_text_trgm_keys ") << "with btree_gin";
  expectSearchesAsPlain("with btree_gin");
}

INSTANTIATE_TEST_SUITE_P(Stores, LogSearchTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
