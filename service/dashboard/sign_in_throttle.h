// Failed sign-ins per client address: after a few within a window, that
// address is refused until the window has passed, even with the right token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zandle::service {

class SignInThrottle {
 public:
  SignInThrottle(int allowedFailures = 10, std::int64_t windowMillis = 15 * 60'000, std::size_t capacity = 10'000)
      : allowedFailures_(allowedFailures), windowMillis_(windowMillis), capacity_(capacity) {}

  bool blocked(std::string_view address, std::int64_t nowMillis);
  void recordFailure(std::string_view address, std::int64_t nowMillis);

 private:
  struct Window {
    std::int64_t startMillis = 0;
    int failures = 0;
  };

  const int allowedFailures_;
  const std::int64_t windowMillis_;
  const std::size_t capacity_;
  std::mutex mutex_;
  std::unordered_map<std::string, Window> windows_;
};

}  // namespace zandle::service
