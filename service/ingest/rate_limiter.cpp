#include "ingest/rate_limiter.h"

#include <algorithm>
#include <vector>

namespace zandle::service {
namespace {

// Many addresses cost memory; buckets that have refilled are dropped at this size.
constexpr std::size_t kCleanupThreshold = 10'000;
constexpr std::int64_t kCleanupIntervalMillis = 10'000;

}  // namespace

RateLimiter::RateLimiter(double requestsPerSecond, double burst)
    : ratePerMilli_(requestsPerSecond / 1000.0), burst_(std::max(1.0, burst)) {}

bool RateLimiter::admit(const std::string& address, std::int64_t nowMillis) {
  if (ratePerMilli_ <= 0) return true;
  if (buckets_.size() >= kCleanupThreshold && nowMillis - lastCleanupMillis_ >= kCleanupIntervalMillis) {
    forgetIdle(nowMillis);
  }
  auto [entry, created] = buckets_.try_emplace(address, Bucket{burst_, nowMillis});
  Bucket& bucket = entry->second;
  const double elapsed = static_cast<double>(std::max<std::int64_t>(0, nowMillis - bucket.updatedMillis));
  bucket.tokens = std::min(burst_, bucket.tokens + elapsed * ratePerMilli_);
  bucket.updatedMillis = nowMillis;
  if (bucket.tokens < 1.0) return false;
  bucket.tokens -= 1.0;
  return true;
}

bool RateLimiter::available(const std::string& address, std::int64_t nowMillis) const {
  if (ratePerMilli_ <= 0) return true;
  const auto found = buckets_.find(address);
  if (found == buckets_.end()) return true;
  const double elapsed = static_cast<double>(std::max<std::int64_t>(0, nowMillis - found->second.updatedMillis));
  return found->second.tokens + elapsed * ratePerMilli_ >= 1.0;
}

void RateLimiter::forgetIdle(std::int64_t nowMillis) {
  lastCleanupMillis_ = nowMillis;
  std::vector<std::string> full;
  for (const auto& [address, bucket] : buckets_) {
    const double elapsed = static_cast<double>(nowMillis - bucket.updatedMillis);
    if (bucket.tokens + elapsed * ratePerMilli_ >= burst_) full.push_back(address);
  }
  for (const auto& address : full) buckets_.erase(address);
}

}  // namespace zandle::service
