#include "popup/desktop_settings.h"

#include <windows.h>

#include "drawing/entry_points.h"

namespace zandle::popup {
namespace {

constexpr UINT kGetMessageDuration = 0x2016;  // SPI_GETMESSAGEDURATION, Vista and later

struct Overrides {
  bool messageDurationSet = false;
  std::optional<unsigned> messageDuration;
  std::optional<bool> highContrast;
  std::optional<int> notificationState;
};

Overrides& Set() noexcept {
  static Overrides overrides;
  return overrides;
}

std::optional<int> ShellNotificationState() noexcept {
  if (Set().notificationState) return Set().notificationState;
  const auto query = drawing::BoundQueryUserNotificationState();
  int state = 0;
  if (!query || FAILED(query(&state))) return std::nullopt;
  return state;
}

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

bool IsDesktopOrShell(HWND window) noexcept {
  if (window == ::GetDesktopWindow() || window == ::GetShellWindow()) return true;
  wchar_t name[32] = {};
  ::GetClassNameW(window, name, 32);
  // The desktop's icon view and the taskbar: the shell covers its monitor by design.
  return SameName(name, L"Progman") || SameName(name, L"WorkerW") || SameName(name, L"Shell_TrayWnd");
}

Rect FromRECT(const RECT& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }

std::optional<ForegroundWindow> Foreground() noexcept {
  const HWND window = ::GetForegroundWindow();
  if (!window || !::IsWindowVisible(window) || ::IsIconic(window)) return std::nullopt;
  ForegroundWindow found;
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) return std::nullopt;
  found.window = FromRECT(rect);
  found.desktopOrShell = IsDesktopOrShell(window);
  const drawing::WorkAreaEntries& monitors = drawing::BoundWorkAreaEntries();
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitors.monitorFromWindow &&
      monitors.getMonitorInfo(monitors.monitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
    found.monitor = FromRECT(info.rcMonitor);
  else
    found.monitor = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return found;
}

}  // namespace

std::optional<unsigned> MessageDurationSeconds() noexcept {
  if (Set().messageDurationSet) return Set().messageDuration;
  ULONG seconds = 0;
  if (!::SystemParametersInfoW(kGetMessageDuration, 0, &seconds, 0)) return std::nullopt;
  return static_cast<unsigned>(seconds);
}

bool HighContrastOn() noexcept {
  if (Set().highContrast) return *Set().highContrast;
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

BusyReason UserBusyReason() noexcept { return DecideBusy(ShellNotificationState(), Foreground()); }

namespace test {

ScopedMessageDuration::ScopedMessageDuration(std::optional<unsigned> seconds) noexcept {
  Set().messageDurationSet = true;
  Set().messageDuration = seconds;
}
ScopedMessageDuration::~ScopedMessageDuration() {
  Set().messageDurationSet = false;
  Set().messageDuration.reset();
}

ScopedHighContrast::ScopedHighContrast(bool on) noexcept { Set().highContrast = on; }
ScopedHighContrast::~ScopedHighContrast() { Set().highContrast.reset(); }

ScopedNotificationState::ScopedNotificationState(int state) noexcept { Set().notificationState = state; }
ScopedNotificationState::~ScopedNotificationState() { Set().notificationState.reset(); }

}  // namespace test
}  // namespace zandle::popup
