#include "dashboard/sign_in_throttle.h"

#include <algorithm>

namespace zandle::service {
namespace {

constexpr std::int64_t kExpirySweepMillis = 10'000;

}  // namespace

void SignInThrottle::dropExpiredLockouts(std::int64_t nowMillis) {
  if (nowMillis - lastExpirySweep_ < kExpirySweepMillis && lockedUntil_.size() < settings_.lockedCapacity) return;
  lastExpirySweep_ = nowMillis;
  std::erase_if(lockedUntil_, [&](const auto& entry) { return entry.second <= nowMillis; });
}

std::int64_t SignInThrottle::lockedFor(const std::string& key, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  dropExpiredLockouts(nowMillis);
  if (const auto found = lockedUntil_.find(key); found != lockedUntil_.end()) {
    return std::max<std::int64_t>(0, found->second - nowMillis);
  }
  // Full of lockouts: the unknown cannot be counted, so it is not let in either.
  if (lockedUntil_.size() >= settings_.lockedCapacity && !counting_.contains(key)) return settings_.windowMillis;
  return 0;
}

bool SignInThrottle::recordFailure(const std::string& key, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  if (lockedUntil_.contains(key)) return false;
  auto found = counting_.find(key);
  if (found != counting_.end() && nowMillis - found->second.startMillis >= settings_.windowMillis) {
    countingByAge_.erase(found->second.age);
    counting_.erase(found);
    found = counting_.end();
  }
  if (found == counting_.end()) {
    while (counting_.size() >= settings_.countingCapacity && !countingByAge_.empty()) {
      counting_.erase(countingByAge_.front());
      countingByAge_.pop_front();
    }
    const auto age = countingByAge_.insert(countingByAge_.end(), key);
    found = counting_.emplace(key, Counting{nowMillis, 0, age}).first;
  }
  if (++found->second.failures < settings_.allowedFailures) return false;
  const std::int64_t until = nowMillis + settings_.windowMillis;
  countingByAge_.erase(found->second.age);
  counting_.erase(found);
  dropExpiredLockouts(nowMillis);
  if (lockedUntil_.size() >= settings_.lockedCapacity) return false;  // everything unknown is refused meanwhile
  lockedUntil_.emplace(key, until);
  return true;
}

}  // namespace zandle::service
