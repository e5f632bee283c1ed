#include "popup/core/animation.h"

#include <climits>
#include <cstdint>

namespace zandle::popup {
namespace {

int StepValue(int current, int target, int n) {
  if (current == target) return current;
  // 64-bit: the distance between two ints does not fit in an int.
  const std::int64_t distance = static_cast<std::int64_t>(target) - current;
  std::int64_t delta = (distance < 0 ? -distance : distance) / n;
  if (delta < 1) delta = 1;
  return static_cast<int>(distance < 0 ? current - delta : current + delta);
}

}  // namespace

int StepCount(unsigned animationDelay, unsigned stepInterval) noexcept {
  if (stepInterval == 0) return 1;
  const unsigned steps = animationDelay / stepInterval;
  if (steps < 1) return 1;
  return steps > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(steps);
}

PopupFrame StepAnimation(const PopupFrame& current, const PopupFrame& target, int n) noexcept {
  if (n < 1) return target;
  PopupFrame next;
  next.rect.top = StepValue(current.rect.top, target.rect.top, n);
  next.rect.left = StepValue(current.rect.left, target.rect.left, n);
  next.rect.right = StepValue(current.rect.right, target.rect.right, n);
  next.rect.bottom = StepValue(current.rect.bottom, target.rect.bottom, n);
  next.alpha = StepValue(current.alpha, target.alpha, n);
  return next;
}

}  // namespace zandle::popup
