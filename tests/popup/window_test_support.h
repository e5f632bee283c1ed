// A popup under test: fake shell and monitor answers, and an owner window that records
// every notification with the popup's state at that moment.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "popup/popup_control.h"
#include "popup/popup_item.h"
#include "popup/popup_screen.h"

namespace zandle::popup::testing {

struct FakeScreen : ScreenQueries {
  bool TaskbarRect(Rect& out) override {
    out = taskbar;
    return taskbarKnown;
  }
  Rect WorkAreaFromRect(const Rect&) override { return workArea; }
  Rect PrimaryWorkArea() override { return primary; }

  bool taskbarKnown = true;
  Rect taskbar{0, 994, 1280, 1024};
  Rect workArea{0, 0, 1280, 994};
  Rect primary{0, 0, 1280, 1000};
};

struct Notification {
  WPARAM code;
  int state;   // the popup's state when it was sent
  int itemId;  // for ItemClicked
  bool operator==(const Notification&) const = default;
};

class NotificationOwner {
 public:
  NotificationOwner();
  ~NotificationOwner();
  HWND hwnd() const { return hwnd_; }

  std::vector<Notification> received;
  // Runs inside the notification, after it was recorded.
  std::function<void(WPARAM code, LPARAM data)> onNotify;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
};

// The popup's window rectangle, and the alpha its layered attributes hold (255 when the
// window is not layered).
RECT WindowRect(HWND window);
int LayeredAlpha(HWND window);

// Delivers one timer tick as the message loop would.
inline void Tick(CPopupControl& popup, UINT_PTR id) { ::SendMessageW(popup.GetSafeHwnd(), WM_TIMER, id, 0); }

}  // namespace zandle::popup::testing
