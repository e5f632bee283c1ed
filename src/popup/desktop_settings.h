// The user's desktop settings a popup respects: how long notifications stay, high
// contrast, and whether the user is busy. Each asks the system, or what a test set.
#pragma once

#include <optional>

#include "popup/core/attention.h"

namespace zandle::popup {

// SPI_GETMESSAGEDURATION in seconds; none before Vista or where the system lacks it.
std::optional<unsigned> MessageDurationSeconds() noexcept;
// SPI_GETHIGHCONTRAST reports the high-contrast mode on.
bool HighContrastOn() noexcept;
// Why a popup shown now would disturb the user; None when it would not.
BusyReason UserBusyReason() noexcept;

namespace test {

class ScopedMessageDuration {
 public:
  explicit ScopedMessageDuration(std::optional<unsigned> seconds) noexcept;
  ScopedMessageDuration(const ScopedMessageDuration&) = delete;
  ScopedMessageDuration& operator=(const ScopedMessageDuration&) = delete;
  ~ScopedMessageDuration();
};

class ScopedHighContrast {
 public:
  explicit ScopedHighContrast(bool on) noexcept;
  ScopedHighContrast(const ScopedHighContrast&) = delete;
  ScopedHighContrast& operator=(const ScopedHighContrast&) = delete;
  ~ScopedHighContrast();
};

// Stands in for the shell's SHQueryUserNotificationState answer (a QUNS_* number).
class ScopedNotificationState {
 public:
  explicit ScopedNotificationState(int state) noexcept;
  ScopedNotificationState(const ScopedNotificationState&) = delete;
  ScopedNotificationState& operator=(const ScopedNotificationState&) = delete;
  ~ScopedNotificationState();
};

}  // namespace test
}  // namespace zandle::popup
