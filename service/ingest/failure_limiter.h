// Failures per client address (an IPv6 /64 counts as one) that may come at
// most at a given rate: a guesser is refused before it reaches the store,
// while ordinary clients, whose failures are rare, never notice. Safe from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "ingest/rate_limiter.h"

namespace zandle::service {

class FailureLimiter {
 public:
  // A rate of 0 never refuses.
  FailureLimiter(double failuresPerSecond, double burst) : buckets_(failuresPerSecond, burst) {}

  // False while this address has spent its failures.
  bool mayTry(const std::string& key, std::int64_t nowMillis);
  void recordFailure(const std::string& key, std::int64_t nowMillis);

 private:
  std::mutex mutex_;
  RateLimiter buckets_;
};

}  // namespace zandle::service
