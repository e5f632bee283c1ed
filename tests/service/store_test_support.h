// A store the real service made, then opened directly: the service stops
// first, so the test alone writes to it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "service_test_support.h"
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

}  // namespace zandle::servicetest
