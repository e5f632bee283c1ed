#include "popup/core/attention.h"

#include <cstdint>

namespace zandle::popup {
namespace {

enum NotificationState : int {
  kNotPresent = 1,
  kBusy = 2,
  kRunningD3DFullScreen = 3,
  kPresentationMode = 4,
  kAcceptsNotifications = 5,
  kQuietTime = 6,
  kApp = 7,
};

}  // namespace

unsigned ShowDelayFor(unsigned presetMs, std::optional<unsigned> messageDurationSeconds) noexcept {
  std::uint64_t delay = presetMs;
  if (messageDurationSeconds) {
    const std::uint64_t asked = static_cast<std::uint64_t>(*messageDurationSeconds) * 1000u;
    if (asked > delay) delay = asked;
  }
  return delay > kMaxTimerDelayMs ? kMaxTimerDelayMs : static_cast<unsigned>(delay);
}

BusyReason ReasonFromNotificationState(int state) noexcept {
  switch (state) {
    case kNotPresent: return BusyReason::Away;
    case kBusy: return BusyReason::FullScreen;
    case kRunningD3DFullScreen: return BusyReason::Direct3D;
    case kPresentationMode: return BusyReason::Presenting;
    case kQuietTime: return BusyReason::QuietTime;
    case kApp: return BusyReason::App;
    default: return BusyReason::None;
  }
}

bool CoversMonitor(const Rect& window, const Rect& monitor) noexcept {
  if (monitor.right <= monitor.left || monitor.bottom <= monitor.top) return false;
  return window.left <= monitor.left && window.top <= monitor.top && window.right >= monitor.right &&
         window.bottom >= monitor.bottom;
}

BusyReason DecideBusy(std::optional<int> notificationState, const std::optional<ForegroundWindow>& foreground) noexcept {
  if (notificationState && *notificationState != kAcceptsNotifications) {
    const BusyReason reason = ReasonFromNotificationState(*notificationState);
    if (reason != BusyReason::None) return reason;
  }
  if (foreground && !foreground->desktopOrShell && CoversMonitor(foreground->window, foreground->monitor))
    return BusyReason::FullScreen;
  return BusyReason::None;
}

}  // namespace zandle::popup
