// Group commit: a batch takes the reports that came while the last one ran and
// does not wait for more; those the last one answered go in the next.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "store/null_database.h"
#include "store/store_worker.h"

namespace zandle::service {
namespace {

// Stores nothing; counts the transactions its jobs run in.
class CountingDatabase final : public NullDatabase {
 public:
  void begin() override { ++transactions; }

  int transactions = 0;  // the worker's thread only
};

struct Seen {
  std::mutex mutex;
  std::vector<int> transactionOf;  // per job, in the order they ran
};

StoreJob job(CountingDatabase* database, Seen& seen, std::function<void(bool)> finish = [](bool) {}) {
  return {[database, &seen](Database&) {
            std::lock_guard lock(seen.mutex);
            seen.transactionOf.push_back(database->transactions);
          },
          std::move(finish)};
}

TEST(StoreWorkerTest, ABatchTakesWhatCameMeanwhileWithoutWaitingForTheReportsTheLastOneAnswered) {
  auto owned = std::make_unique<CountingDatabase>();
  CountingDatabase* database = owned.get();
  StoreWorker worker(std::move(owned), StoreWorkerMode::GroupCommit, "test writer");
  Seen seen;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
  std::thread client;
  // The first batch: one report, held until three more have queued behind it.
  ASSERT_TRUE(worker.submit({[&started, released](Database&) {
                               started.set_value();
                               released.wait();
                             },
                             // Its client sends its next report a moment after the answer.
                             [&](bool) {
                               client = std::thread([&] {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                 worker.submit(job(database, seen));
                               });
                             }}));
  started.get_future().wait();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(worker.submit(job(database, seen)));
  release.set_value();
  for (int waited = 0; waited < 10'000; ++waited) {
    {
      std::lock_guard lock(seen.mutex);
      if (seen.transactionOf.size() == 4) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.stop();
  client.join();
  ASSERT_EQ(seen.transactionOf.size(), 4u);
  // The three that came meanwhile share the second transaction; the one the
  // first batch answered, 50 ms later, has a third.
  EXPECT_EQ(seen.transactionOf, (std::vector<int>{2, 2, 2, 3}));
  EXPECT_EQ(worker.stats().transactions, 3u);
}

}  // namespace
}  // namespace zandle::service
