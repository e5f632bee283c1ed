// Token bucket per client address. Not thread-safe: one thread, or a lock, per instance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace zandle::service {

class RateLimiter {
 public:
  // A rate of 0 admits everything.
  RateLimiter(double requestsPerSecond, double burst);

  bool admit(const std::string& address, std::int64_t nowMillis);
  // Whether admit would admit, without spending anything.
  bool available(const std::string& address, std::int64_t nowMillis) const;

 private:
  struct Bucket {
    double tokens;
    std::int64_t updatedMillis;
  };
  void forgetIdle(std::int64_t nowMillis);

  double ratePerMilli_;
  double burst_;
  std::unordered_map<std::string, Bucket> buckets_;
  std::int64_t lastCleanupMillis_ = 0;
};

}  // namespace zandle::service
