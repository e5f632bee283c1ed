// Dragging a popup by its empty areas: a modal loop that runs until the button is
// released, Escape is pressed or the capture is lost.
#include <windows.h>

#include "popup/core/drag.h"
#include "popup/popup_control.h"

namespace zandle::popup {
namespace {

Rect FromRECT(const RECT& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

bool CPopupControl::DragLoop() noexcept {
  const HWND window = hwnd();
  const std::weak_ptr<char> alive = life_;
  ::SetCapture(window);
  // Where the button went down, not where the pointer is now: moves may already be
  // queued behind the press on a busy thread.
  const DWORD pressedAt = ::GetMessagePos();
  const POINT start{static_cast<short>(LOWORD(pressedAt)), static_cast<short>(HIWORD(pressedAt))};
  RECT startRect{};
  ::GetWindowRect(window, &startRect);

  MSG msg{};
  bool released = false;
  while (::GetCapture() == window) {
    // Paint first, so the window keeps up with the moves.
    while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageW(&msg);
    if (!::GetMessageW(&msg, nullptr, 0, 0)) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // the host's loop must still see it
      break;
    }
    if (msg.message == WM_LBUTTONUP) {
      released = true;
      break;
    }
    if (msg.message == WM_MOUSEMOVE) {
      const Point cursor{msg.pt.x, msg.pt.y};
      const Rect area = screen_.WorkAreaFromPoint(cursor);
      // At the window's size now: a monitor of another DPI on the way lays it out anew.
      RECT now{};
      ::GetWindowRect(window, &now);
      const Rect from{startRect.left, startRect.top, startRect.left + (now.right - now.left),
                      startRect.top + (now.bottom - now.top)};
      const Rect moved = DragRect(from, {start.x, start.y}, cursor, area);
      ::MoveWindow(window, moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top, TRUE);
      continue;
    }
    if (msg.message == WM_KEYDOWN) {
      if (msg.wParam == VK_ESCAPE) break;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    if (alive.expired()) return false;  // the owner destroyed the popup meanwhile
  }
  if (::GetCapture() == window) ::ReleaseCapture();
  if (alive.expired() || !hwnd()) return !alive.expired();

  RECT now{};
  ::GetWindowRect(hwnd(), &now);
  if (!Run(machine_.DragEnded(FromRECT(now)))) return false;
  // Released where it was pressed: a click on the body, which gives the popup the keyboard.
  if (released && ::EqualRect(&now, &startRect)) TakeFocus(nullptr);
  return !alive.expired();
}

}  // namespace zandle::popup
