#include "store/store_worker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "common/logger.h"

namespace zandle::service {
namespace {

constexpr std::size_t kMaxBatchJobs = 1024;
constexpr std::size_t kMaxBacklog = 100'000;
constexpr std::chrono::milliseconds kPeriodicRetry{100};  // more work left: soon again
constexpr std::chrono::milliseconds kLogFlushWait{1100};
// The idle task runs once no job has come for this long: under a steady load it waits.
constexpr std::chrono::milliseconds kIdleAfter{20};

}  // namespace

StoreWorker::StoreWorker(std::unique_ptr<Database> database, StoreWorkerMode mode, std::string name)
    : database_(std::move(database)),
      mode_(mode),
      name_(std::move(name)),
      latency_({0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10}) {
  // Without it a batch's COMMIT is waited for before the next is sent.
  if (database_->overlapsCommits()) jobCame_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  thread_ = std::thread([this] { loop(); });
}

StoreWorker::~StoreWorker() {
  stop();
  if (jobCame_ >= 0) close(jobCame_);
}

bool StoreWorker::submit(StoreJob job) {
  bool storeWait = false;
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || queue_.size() >= kMaxBacklog) return false;
    job.submitted = std::chrono::steady_clock::now();
    queue_.push_back(std::move(job));
    storeWait = std::exchange(waitingForStore_, false);
  }
  if (storeWait) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(jobCame_, &one, sizeof one);
  }
  wake_.notify_one();
  return true;
}

void StoreWorker::waitForCommitOrJob(std::uint64_t ticket) {
  {
    std::lock_guard lock(mutex_);
    if (!queue_.empty() || jobCame_ < 0) return;
    waitingForStore_ = true;
  }
  database_->awaitCommitOrWake(ticket, jobCame_);
  std::lock_guard lock(mutex_);
  waitingForStore_ = false;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(jobCame_, &count, sizeof count);  // non-blocking
}

void StoreWorker::setPeriodicTask(std::chrono::milliseconds interval, std::function<bool(Database&)> task) {
  {
    std::lock_guard lock(mutex_);
    periodicInterval_ = interval;
    periodicTask_ = std::move(task);
    nextPeriodicRun_ = std::chrono::steady_clock::now();
    periodicRescheduled_ = true;  // a thread already waiting must take up the new schedule
  }
  wake_.notify_one();
}

void StoreWorker::setIdleTask(std::function<bool(Database&)> task) {
  {
    std::lock_guard lock(mutex_);
    idleTask_ = std::move(task);
    idleMore_ = true;
  }
  wake_.notify_one();
}

void StoreWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

StoreWorkerStats StoreWorker::stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

std::size_t StoreWorker::queueDepth() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

std::string StoreWorker::lastFailure() const {
  std::lock_guard lock(mutex_);
  return lastFailure_;
}

void StoreWorker::noteFailure(const std::string& message) {
  failureLog_.note(message);
  std::lock_guard lock(mutex_);
  lastFailure_ = message;
}

void StoreWorker::finishAll(std::vector<StoreJob>& jobs, const std::vector<bool>& succeeded) {
  const auto now = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    latency_.observe(std::chrono::duration<double>(now - jobs[i].submitted).count());
    jobs[i].finish(succeeded[i]);
  }
}

void StoreWorker::loop() {
  std::optional<SentBatch> sent;  // its COMMIT out, not yet back
  for (;;) {
    std::vector<StoreJob> jobs;
    bool periodicDue = false, idleDue = false;
    if (sent) {
      waitForCommitOrJob(sent->ticket);
      // Nothing to send meanwhile: the batch out is answered before waiting for jobs.
      if (queueDepth() == 0) {
        finishBatch(*sent);
        sent.reset();
      }
    }
    {
      std::unique_lock lock(mutex_);
      const auto ready = [this] { return !queue_.empty() || stopping_ || periodicRescheduled_; };
      auto wakeAt = periodicTask_ ? nextPeriodicRun_ : std::chrono::steady_clock::time_point::max();
      // Idle work left: it waits for a pause in the jobs.
      if (idleTask_ && idleMore_) wakeAt = std::min(wakeAt, lastJobsAt_ + kIdleAfter);
      // Failures held back are written within a second even when nothing else comes.
      if (failureLog_.holding()) wakeAt = std::min(wakeAt, std::chrono::steady_clock::now() + kLogFlushWait);
      if (wakeAt != std::chrono::steady_clock::time_point::max()) {
        wake_.wait_until(lock, wakeAt, ready);
      } else {
        wake_.wait(lock, ready);
      }
      periodicRescheduled_ = false;
      periodicDue = periodicTask_ && std::chrono::steady_clock::now() >= nextPeriodicRun_;
      idleDue = idleTask_ && idleMore_ && std::chrono::steady_clock::now() >= lastJobsAt_ + kIdleAfter;
      if (queue_.empty() && stopping_) {
        failureLog_.flush(true);
        return;
      }
      // A batch takes what came while the last one ran, without waiting for
      // more: the clients the last one answered come back while this one
      // commits, and two halves taking turns keep the store and the HTTP
      // thread busy at once.
      while (!queue_.empty() && jobs.size() < kMaxBatchJobs) {
        jobs.push_back(std::move(queue_.front()));
        queue_.pop_front();
      }
    }
    // A connection lost while idle (a database restart) is re-made before it fails a job.
    database_->recover();
    failureLog_.flush();
    if (periodicDue) runPeriodicTask();
    if (jobs.empty()) {
      if (!periodicDue && idleDue) {
        const bool more = runIdleTask();
        std::lock_guard lock(mutex_);
        idleMore_ = more;
      }
      continue;
    }
    if (mode_ == StoreWorkerMode::GroupCommit && database_->overlapsCommits()) {
      // The next batch goes out while the last one's COMMIT is on its way:
      // the store works on one while the other's clients are answered.
      SentBatch next = sendBatch(std::move(jobs));
      next.behindAnother = sent.has_value();
      if (sent) finishBatch(*sent);
      sent = std::move(next);
    } else if (mode_ == StoreWorkerMode::GroupCommit) {
      SentBatch batch = sendBatch(std::move(jobs));
      finishBatch(batch);
    } else {
      runOneByOne(jobs);
    }
    std::lock_guard lock(mutex_);
    idleMore_ = true;  // the jobs may have left idle work
    lastJobsAt_ = std::chrono::steady_clock::now();
  }
}

bool StoreWorker::runInTransaction(std::vector<StoreJob>& jobs, std::size_t first, std::size_t count) {
  try {
    database_->begin();
    for (std::size_t i = first; i < first + count; ++i) jobs[i].apply(*database_);
    database_->commit();
    return true;
  } catch (const std::exception& error) {
    transactionFailed(count, error);
    return false;
  }
}

void StoreWorker::transactionFailed(std::size_t jobs, const std::exception& error) {
  noteFailure(name_ + ": transaction of " + std::to_string(jobs) + " job(s) failed: " + error.what());
  database_->rollback();
  database_->recover();
}

StoreWorker::SentBatch StoreWorker::sendBatch(std::vector<StoreJob> jobs) {
  SentBatch batch{std::move(jobs), 0, false, false};
  try {
    database_->begin();
    for (StoreJob& job : batch.jobs) job.apply(*database_);
    batch.ticket = database_->sendCommit();
  } catch (const std::exception& error) {
    transactionFailed(batch.jobs.size(), error);
    batch.failed = true;
  }
  return batch;
}

void StoreWorker::finishBatch(SentBatch& batch) {
  std::vector<StoreJob>& jobs = batch.jobs;
  if (!batch.failed) {
    try {
      database_->awaitCommit(batch.ticket);
    } catch (const std::exception& error) {
      transactionFailed(jobs.size(), error);
      batch.failed = true;
    }
  }
  std::vector<bool> succeeded(jobs.size(), !batch.failed);
  std::uint64_t transactions = 1;
  // One bad job must not cost the others their records. A batch sent behind
  // another fails with it (its transaction aborted), bad job or none.
  if (batch.failed && (jobs.size() > 1 || batch.behindAnother)) {
    for (std::size_t i = 0; i < jobs.size(); ++i) succeeded[i] = runInTransaction(jobs, i, 1);
    transactions += jobs.size();
  }
  std::uint64_t failures = 0, records = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    failures += !succeeded[i];
    records += succeeded[i] && jobs[i].clientRecord;
  }
  finishAll(jobs, succeeded);
  std::lock_guard lock(mutex_);
  stats_.jobs += jobs.size();
  stats_.transactions += transactions;
  stats_.failures += failures;
  stats_.records += records;
}

void StoreWorker::runOneByOne(std::vector<StoreJob>& jobs) {
  std::uint64_t failures = 0;
  for (StoreJob& job : jobs) {
    bool succeeded = false;
    // Reads may be repeated: the second try goes over a fresh connection when
    // the first found the old one dead.
    for (int attempt = 0; attempt < 2 && !succeeded; ++attempt) {
      try {
        job.apply(*database_);
        succeeded = true;
      } catch (const std::exception& error) {
        noteFailure(name_ + ": " + error.what());
        database_->recover();
      }
    }
    failures += !succeeded;
    latency_.observe(std::chrono::duration<double>(std::chrono::steady_clock::now() - job.submitted).count());
    job.finish(succeeded);
  }
  std::lock_guard lock(mutex_);
  stats_.jobs += jobs.size();
  stats_.failures += failures;
}

bool StoreWorker::runIdleTask() {
  try {
    return idleTask_(*database_);
  } catch (const std::exception& error) {
    noteFailure(name_ + ": idle task failed: " + error.what());
    database_->rollback();
    database_->recover();
    return false;
  }
}

void StoreWorker::runPeriodicTask() {
  bool moreWork = false;
  try {
    moreWork = periodicTask_(*database_);
  } catch (const std::exception& error) {
    noteFailure(name_ + ": periodic task failed: " + error.what());
    database_->rollback();
    database_->recover();
  }
  std::lock_guard lock(mutex_);
  nextPeriodicRun_ = std::chrono::steady_clock::now() + (moreWork ? kPeriodicRetry : periodicInterval_);
}

}  // namespace zandle::service
