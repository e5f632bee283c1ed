#include "ingest/failure_limiter.h"

namespace zandle::service {

bool FailureLimiter::mayTry(const std::string& key, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  return buckets_.available(key, nowMillis);
}

void FailureLimiter::recordFailure(const std::string& key, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  buckets_.admit(key, nowMillis);
}

}  // namespace zandle::service
