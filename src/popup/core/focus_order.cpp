#include "popup/core/focus_order.h"

#include <algorithm>

namespace zandle::popup {

KeyAction ActionForKey(Key key, bool shift) noexcept {
  switch (key) {
    case Key::Tab: return shift ? KeyAction::MovePrevious : KeyAction::MoveNext;
    case Key::Right:
    case Key::Down: return KeyAction::MoveNext;
    case Key::Left:
    case Key::Up: return KeyAction::MovePrevious;
    case Key::Home: return KeyAction::MoveFirst;
    case Key::End: return KeyAction::MoveLast;
    case Key::Enter:
    case Key::Space: return KeyAction::Press;
    case Key::Escape: return KeyAction::Close;
    default: return KeyAction::None;
  }
}

std::vector<int> FocusOrder(const std::vector<FocusKind>& kinds) {
  std::vector<int> order;
  for (FocusKind wanted : {FocusKind::Button, FocusKind::Link, FocusKind::Close})
    for (size_t i = 0; i < kinds.size(); ++i)
      if (kinds[i] == wanted) order.push_back(static_cast<int>(i));
  return order;
}

int MoveFocus(const std::vector<int>& order, int current, KeyAction move) noexcept {
  if (order.empty()) return -1;
  const int count = static_cast<int>(order.size());
  const auto found = std::find(order.begin(), order.end(), current);
  const int at = found == order.end() ? -1 : static_cast<int>(found - order.begin());
  switch (move) {
    case KeyAction::MoveFirst: return order.front();
    case KeyAction::MoveLast: return order.back();
    case KeyAction::MoveNext: return order[at < 0 ? 0 : (at + 1) % count];
    case KeyAction::MovePrevious: return order[at < 0 ? count - 1 : (at + count - 1) % count];
    default: return at < 0 ? -1 : current;
  }
}

Rect FocusMarkRect(const Rect& item, const Rect& client) noexcept {
  constexpr int kOutset = 2;
  const int left = SaturatingSub(item.left, kOutset), top = SaturatingSub(item.top, kOutset);
  const int right = SaturatingAdd(item.right, kOutset), bottom = SaturatingAdd(item.bottom, kOutset);
  return {left < client.left ? client.left : left, top < client.top ? client.top : top,
          right > client.right ? client.right : right, bottom > client.bottom ? client.bottom : bottom};
}

bool IsFocusMarkDot(const Rect& mark, int x, int y) noexcept {
  if (x < mark.left || y < mark.top || x >= mark.right || y >= mark.bottom) return false;
  const bool edge = x == mark.left || y == mark.top || x == mark.right - 1 || y == mark.bottom - 1;
  return edge && ((x + y) & 1) == 0;
}

}  // namespace zandle::popup
