// A store the real service made, then opened directly: the service stops
// first, so the test alone writes to it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "service_test_support.h"
#include "store/dashboard_queries.h"
#include "store/database.h"
#include "store/store_location.h"

namespace zandle::servicetest {

class StoreTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    service_ = std::make_unique<RunningService>(GetParam());
    if (service_->skipped()) GTEST_SKIP() << "no PostgreSQL server for this run";
    service_->terminate();
    database_ = service::StoreLocation::parse(service_->store()).open(true);
  }

  std::unique_ptr<RunningService> service_;
  std::unique_ptr<service::Database> database_;
};

// The ids of a page of log lines, newest first.
inline std::vector<std::int64_t> pageIds(service::DashboardQueries& queries, const service::LogFilter& filter,
                                         std::size_t offset, std::size_t limit) {
  std::vector<std::int64_t> ids;
  for (const auto& row : queries.logPage(filter, offset, limit, 40)) ids.push_back(row.stored.id);
  return ids;
}

// The ids of every log line the export gives, walked `pageSize` at a time as it walks them.
inline std::vector<std::int64_t> walkedIds(service::DashboardQueries& queries, const service::LogFilter& filter,
                                           std::size_t pageSize) {
  std::vector<std::int64_t> walked;
  service::RowPosition position;
  for (int pages = 0; pages < 100'000; ++pages) {
    const auto lines = queries.logLines(filter, position, pageSize);
    for (const auto& line : lines) walked.push_back(line.id);
    if (lines.size() < pageSize) break;
    position = {lines.back().line.arrival.millis, lines.back().id};
  }
  return walked;
}

}  // namespace zandle::servicetest
