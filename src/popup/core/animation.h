// Step arithmetic of the expand and collapse animations.
#pragma once

#include "popup/core/geometry.h"

namespace zandle::popup {

// animationDelay / stepInterval (unsigned division), at least 1 and at most INT_MAX.
// A stepInterval of 0 gives 1: the whole animation is one step at the first tick.
int StepCount(unsigned animationDelay, unsigned stepInterval) noexcept;

// One step of n still to make: each of top, left, right, bottom and alpha that differs
// from its target moves toward it by |current − target| / n, at least 1. With n < 1
// the result is the target; with n = 1 every value lands on it.
PopupFrame StepAnimation(const PopupFrame& current, const PopupFrame& target, int n) noexcept;

}  // namespace zandle::popup
