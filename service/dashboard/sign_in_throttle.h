// Failed sign-ins per client address (an IPv6 /64 counts as one): after a few
// within a window, that address is refused until the window has passed, even
// with the right token. A lockout lasts its window whatever other addresses do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zandle::service {

struct SignInThrottleSettings {
  int allowedFailures = 10;
  std::int64_t windowMillis = 15 * 60'000;
  // Addresses with failures counted but not yet locked out; the oldest go when full.
  std::size_t countingCapacity = 100'000;
  // Locked-out addresses are never dropped early: when this many are locked,
  // addresses not yet known are refused too until lockouts end.
  std::size_t lockedCapacity = 100'000;
};

class SignInThrottle {
 public:
  explicit SignInThrottle(SignInThrottleSettings settings = {}) : settings_(settings) {}

  // Milliseconds until `key` may try again; 0 when it may now.
  std::int64_t lockedFor(const std::string& key, std::int64_t nowMillis);
  // True when this failure locks the address out.
  bool recordFailure(const std::string& key, std::int64_t nowMillis);

  std::int64_t windowMillis() const { return settings_.windowMillis; }

 private:
  struct Counting {
    std::int64_t startMillis = 0;
    int failures = 0;
    std::list<std::string>::iterator age;
  };
  void dropExpiredLockouts(std::int64_t nowMillis);

  const SignInThrottleSettings settings_;
  std::mutex mutex_;
  std::unordered_map<std::string, Counting> counting_;
  std::list<std::string> countingByAge_;  // oldest window first
  std::unordered_map<std::string, std::int64_t> lockedUntil_;
  std::int64_t lastExpirySweep_ = 0;
};

}  // namespace zandle::service
