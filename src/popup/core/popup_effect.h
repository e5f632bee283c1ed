// What the popup machine asks of its window, in the order the window must do it.
#pragma once

#include <vector>

#include "popup/core/geometry.h"

namespace zandle::popup {

enum class EffectKind {
  StateChanged,       // value = new state; send the owner the StateChanged notification
  StartTimer,         // value = timer id, period = ms
  KillTimer,          // value = timer id
  ApplyCurrentState,  // move/size to rect (flags 0x654), invalidate, alpha unless kKeepAlpha, update
  SetAlpha,           // value = alpha for the layered attributes
  TrackLeave,         // ask for a mouse-leave message
  Close,              // run the window's Close(): destroy the window, then report Closed()
  PositionChanged,    // send the owner the PositionChanged notification
};

// ApplyCurrentState without a call to the layered attributes.
inline constexpr int kKeepAlpha = -1;

struct Effect {
  EffectKind kind = EffectKind::StateChanged;
  int value = 0;
  unsigned period = 0;
  Rect rect;
  friend bool operator==(const Effect&, const Effect&) = default;
};

// Every operation returns its own list, so a nested operation started by the owner
// inside a notification does not disturb the list being run.
using Effects = std::vector<Effect>;

}  // namespace zandle::popup
