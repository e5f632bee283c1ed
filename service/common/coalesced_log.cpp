#include "common/coalesced_log.h"

#include "common/clock.h"

namespace zandle::service {

void CoalescedLog::write(std::string_view message, std::uint64_t count, std::int64_t at) {
  lastWrittenMillis_ = at;
  heldBack_ = 0;
  if (count <= 1) {
    writeLog(severity_, message);
  } else {
    writeLog(severity_, std::string(message) + " (" + std::to_string(count) + " times since the last line)");
  }
  lastHeld_.clear();  // only now: `message` may be it
}

void CoalescedLog::note(std::string_view message) {
  const std::int64_t now = steadyMillis();
  std::lock_guard lock(mutex_);
  if (now - lastWrittenMillis_ >= intervalMillis_) return write(message, heldBack_ + 1, now);
  ++heldBack_;
  lastHeld_.assign(message);
}

void CoalescedLog::flush(bool now) {
  const std::int64_t at = steadyMillis();
  std::lock_guard lock(mutex_);
  if (heldBack_ == 0 || (!now && at - lastWrittenMillis_ < intervalMillis_)) return;
  write(lastHeld_, heldBack_, at);
}

bool CoalescedLog::holding() const {
  std::lock_guard lock(mutex_);
  return heldBack_ > 0;
}

}  // namespace zandle::service
