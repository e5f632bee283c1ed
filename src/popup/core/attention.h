// When a popup may claim the user's attention, and for how long: the user's setting for
// how long notifications stay, and whether the user is presenting or playing.
#pragma once

#include <optional>

#include "popup/core/geometry.h"

namespace zandle::popup {

// The longest delay a window timer takes.
inline constexpr unsigned kMaxTimerDelayMs = 0x7FFFFFFF;

// The preset's delay, raised to the user's notification duration where the system has one.
unsigned ShowDelayFor(unsigned presetMs, std::optional<unsigned> messageDurationSeconds) noexcept;

// Why no popup is shown now; None: the user accepts notifications.
enum class BusyReason { None, Away, FullScreen, Direct3D, Presenting, QuietTime, App };

// The shell's answer (its QUNS_* numbers) as a reason; numbers it may add later count as
// "cannot tell".
BusyReason ReasonFromNotificationState(int state) noexcept;

// The foreground window where the shell cannot tell.
struct ForegroundWindow {
  Rect window;
  Rect monitor;
  bool desktopOrShell = false;
};

// A window at least as large as its monitor, on every side.
bool CoversMonitor(const Rect& window, const Rect& monitor) noexcept;

// The shell's answer first; where it is missing or says "accepts", a full-screen
// foreground window that is not the desktop's or the shell's.
BusyReason DecideBusy(std::optional<int> notificationState, const std::optional<ForegroundWindow>& foreground) noexcept;

}  // namespace zandle::popup
