#include "dashboard/sign_in_throttle.h"

#include <algorithm>

namespace zandle::service {

bool SignInThrottle::blocked(std::string_view address, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(std::string(address));
  if (found == windows_.end()) return false;
  if (nowMillis - found->second.startMillis >= windowMillis_) {
    windows_.erase(found);
    return false;
  }
  return found->second.failures >= allowedFailures_;
}

void SignInThrottle::recordFailure(std::string_view address, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  auto found = windows_.find(std::string(address));
  if (found == windows_.end()) {
    // Bounded memory under many addresses: old windows go first.
    if (windows_.size() >= capacity_) {
      std::erase_if(windows_, [&](const auto& entry) { return nowMillis - entry.second.startMillis >= windowMillis_; });
    }
    if (windows_.size() >= capacity_) {
      windows_.erase(std::min_element(windows_.begin(), windows_.end(), [](const auto& a, const auto& b) {
        return a.second.startMillis < b.second.startMillis;
      }));
    }
    found = windows_.emplace(std::string(address), Window{nowMillis, 0}).first;
  } else if (nowMillis - found->second.startMillis >= windowMillis_) {
    found->second = Window{nowMillis, 0};
  }
  ++found->second.failures;
}

}  // namespace zandle::service
