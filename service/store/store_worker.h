// A thread that owns one database connection and runs jobs for the rest of
// the service. In group-commit mode every job waiting when the thread comes
// round shares one transaction, so one disk sync serves many replies.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/coalesced_log.h"
#include "common/metrics.h"
#include "store/database.h"

namespace zandle::service {

struct StoreJob {
  // May run twice: a batch that fails is retried one job at a time.
  std::function<void(Database&)> apply;
  // Called once, after the commit (true) or after the job has failed (false).
  std::function<void(bool succeeded)> finish;
  std::chrono::steady_clock::time_point submitted{};  // set by submit
  bool clientRecord = false;  // a report from a client, counted in the stats' records
};

// OneByOne is for reads: each job alone, outside transactions, tried twice.
enum class StoreWorkerMode { GroupCommit, OneByOne };

struct StoreWorkerStats {
  std::uint64_t jobs = 0;
  std::uint64_t transactions = 0;
  std::uint64_t failures = 0;
  std::uint64_t records = 0;  // client reports committed
};

class StoreWorker {
 public:
  StoreWorker(std::unique_ptr<Database> database, StoreWorkerMode mode, std::string name);
  ~StoreWorker();
  StoreWorker(const StoreWorker&) = delete;
  StoreWorker& operator=(const StoreWorker&) = delete;

  // False once stopping or when the backlog is full; the job is then not run.
  bool submit(StoreJob job);

  // Runs `task` outside any transaction every `interval`, between batches,
  // and again soon while the task reports more work.
  void setPeriodicTask(std::chrono::milliseconds interval, std::function<bool(Database&)> task);

  // Runs `task` outside any transaction once no job has come for a moment,
  // again while it reports more work and no job comes: work that must not
  // hold requests up (each call does a small slice of it).
  void setIdleTask(std::function<bool(Database&)> task);

  // Finishes every job already submitted, then ends the thread.
  void stop();

  StoreWorkerStats stats() const;
  std::size_t queueDepth() const;
  // Submission to finish, per job.
  const Histogram& latency() const { return latency_; }
  // What the last failure said, or empty.
  std::string lastFailure() const;

 private:
  // A batch whose COMMIT has gone out (or failed before it could).
  struct SentBatch {
    std::vector<StoreJob> jobs;
    std::uint64_t ticket = 0;
    bool failed = false;
    bool behindAnother = false;  // sent while another's COMMIT was out
  };
  void loop();
  SentBatch sendBatch(std::vector<StoreJob> jobs);
  // Waits for its COMMIT, runs the jobs one by one if it failed, and answers them.
  void finishBatch(SentBatch& batch);
  void transactionFailed(std::size_t jobs, const std::exception& error);
  // Until the batch's COMMIT is back or a job comes to go out meanwhile.
  void waitForCommitOrJob(std::uint64_t ticket);
  void runOneByOne(std::vector<StoreJob>& jobs);
  bool runInTransaction(std::vector<StoreJob>& jobs, std::size_t first, std::size_t count);
  void runPeriodicTask();
  bool runIdleTask();
  void noteFailure(const std::string& message);
  void finishAll(std::vector<StoreJob>& jobs, const std::vector<bool>& succeeded);

  std::unique_ptr<Database> database_;
  const StoreWorkerMode mode_;
  const std::string name_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<StoreJob> queue_;
  int jobCame_ = -1;  // eventfd: wakes a wait for a COMMIT when a job comes
  bool waitingForStore_ = false;
  bool stopping_ = false;
  std::chrono::milliseconds periodicInterval_{0};
  std::function<bool(Database&)> periodicTask_;
  std::chrono::steady_clock::time_point nextPeriodicRun_;
  bool periodicRescheduled_ = false;
  std::function<bool(Database&)> idleTask_;
  bool idleMore_ = false;  // the idle task has more to do
  std::chrono::steady_clock::time_point lastJobsAt_{};
  StoreWorkerStats stats_;
  // A full disk fails every job: one line a second says so, with the count.
  CoalescedLog failureLog_{LogSeverity::Error};
  std::string lastFailure_;
  Histogram latency_;
  std::thread thread_;
};

}  // namespace zandle::service
