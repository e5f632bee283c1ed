// What the tally tests share: a direct count over the stored records, random
// records written the way ingestion does, and a comparison of every figure
// the dashboard shows with the direct count.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store_test_support.h"
#include "store/database.h"
#include "store/dashboard_queries.h"
#include "store/sql_connection.h"

namespace zandle::servicetest {

inline constexpr std::int64_t kMinute = 60'000;
inline constexpr std::int64_t kHalfHour = 30 * kMinute;
inline constexpr std::int64_t kDay = 24 * 60 * kMinute;

// Milliseconds of a UTC time written "YYYY-MM-DDTHH:MM:SS".
std::int64_t at(const char* iso);

// Tallies against the records they count, over all time: per tool, per version and for the whole store.
void expectTalliesMatchRecords(service::SqlConnection& sql, const std::string& where);
// The side table by tool holds exactly the log lines up to its mark.
void expectToolIndexMatchesLines(service::SqlConnection& sql, const std::string& where);

class TallyTest : public StoreTest {
 protected:
  // Records at random moments from `from` on, written the way ingestion does,
  // in transactions of random size.
  void writeRandom(std::int64_t from, std::int64_t days, int sessions, int lines, int answers);
  // Every (tool, column) pair the records hold.
  std::vector<std::pair<std::string, std::string>> keys(const std::string& column, const std::string& table);
  // Every figure of the dashboard for `query` at `now` against a direct count.
  void compare(const std::string& query, std::int64_t now);
  // Only the open sessions: removed sessions keep their users and lengths.
  void compareOpenSessions(const std::string& query, std::int64_t now);
};

}  // namespace zandle::servicetest
