// A kind of event that may come by the thousand (store failures on a full
// disk, wrong tokens from a guesser) written at most once per interval: the
// first at once, the rest counted into the next line. Safe from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "common/logger.h"

namespace zandle::service {

class CoalescedLog {
 public:
  explicit CoalescedLog(LogSeverity severity, std::int64_t intervalMillis = 1000)
      : severity_(severity), intervalMillis_(intervalMillis) {}
  ~CoalescedLog() { flush(true); }
  CoalescedLog(const CoalescedLog&) = delete;
  CoalescedLog& operator=(const CoalescedLog&) = delete;

  void note(std::string_view message);
  // Writes what was held back once the interval has passed (or now, when `now` is set).
  void flush(bool now = false);
  // Events held back and not yet written.
  bool holding() const;

 private:
  void write(std::string_view message, std::uint64_t count, std::int64_t at);

  const LogSeverity severity_;
  const std::int64_t intervalMillis_;
  mutable std::mutex mutex_;
  std::int64_t lastWrittenMillis_ = INT64_MIN / 2;
  std::uint64_t heldBack_ = 0;
  std::string lastHeld_;
};

}  // namespace zandle::service
