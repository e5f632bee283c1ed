// Keyboard focus among a popup's items: which items take it, in which order, and what
// each key does. The answer buttons come first, then links, then the close button.
#pragma once

#include <vector>

#include "popup/core/geometry.h"

namespace zandle::popup {

enum class FocusKind { None, Button, Link, Close };

enum class Key { Tab, Left, Right, Up, Down, Home, End, Enter, Space, Escape, Other };

enum class KeyAction { None, MoveNext, MovePrevious, MoveFirst, MoveLast, Press, Close };

KeyAction ActionForKey(Key key, bool shift) noexcept;

// Item indexes that take the focus, in Tab order; `kinds` is indexed by item.
std::vector<int> FocusOrder(const std::vector<FocusKind>& kinds);

// The item index the focus moves to from `current` (an item index, or -1 for none);
// it wraps round at both ends. -1 when nothing takes the focus.
int MoveFocus(const std::vector<int>& order, int current, KeyAction move) noexcept;

// The focus mark: a dotted frame two pixels outside the item, kept inside the client
// area; a dot on every other pixel, counted from the client's origin.
Rect FocusMarkRect(const Rect& item, const Rect& client) noexcept;
bool IsFocusMarkDot(const Rect& mark, int x, int y) noexcept;

}  // namespace zandle::popup
