#include <gtest/gtest.h>

#include <climits>

#include "popup/core/animation.h"

namespace zandle::popup {
namespace {

TEST(StepCount, DividesTheDelayByTheInterval) {
  EXPECT_EQ(StepCount(256, 16), 16);
  EXPECT_EQ(StepCount(500, 16), 31);  // 31.25 truncated
  EXPECT_EQ(StepCount(350, 16), 21);  // 21.875 truncated
  EXPECT_EQ(StepCount(15, 16), 1);
  EXPECT_EQ(StepCount(1, 16), 1);
  EXPECT_EQ(StepCount(0, 16), 1);
}

TEST(StepCount, ZeroIntervalIsOneStepAndHugeCountsStayInRange) {
  EXPECT_EQ(StepCount(256, 0), 1);
  EXPECT_EQ(StepCount(0, 0), 1);
  EXPECT_EQ(StepCount(UINT_MAX, 1), INT_MAX);
  EXPECT_EQ(StepCount(UINT_MAX, 2), INT_MAX);      // 2147483647
  EXPECT_EQ(StepCount(UINT_MAX, 3), 1431655765);
}

PopupFrame Frame(int left, int top, int right, int bottom, int alpha) { return {{left, top, right, bottom}, alpha}; }

TEST(StepAnimation, BelowOneStepAndOneStepLandOnTheTarget) {
  const PopupFrame from = Frame(10, 20, 30, 40, 0);
  const PopupFrame to = Frame(-100, 500, 31, 39, 255);
  EXPECT_EQ(StepAnimation(from, to, 0), to);
  EXPECT_EQ(StepAnimation(from, to, -7), to);
  EXPECT_EQ(StepAnimation(from, to, INT_MIN), to);
  EXPECT_EQ(StepAnimation(from, to, 1), to);
}

TEST(StepAnimation, EachValueMovesItsOwnShareTowardItsTarget) {
  // n = 4: left 110/4 = 27 down, top 480/4 = 120 up, right 1 away -> 1, bottom 1 away
  // -> 1, alpha 255/4 = 63 up.
  const PopupFrame from = Frame(10, 20, 30, 40, 0);
  const PopupFrame to = Frame(-100, 500, 31, 39, 255);
  EXPECT_EQ(StepAnimation(from, to, 4), Frame(-17, 140, 31, 39, 63));
  // Values already on target stay there.
  EXPECT_EQ(StepAnimation(to, to, 4), to);
}

TEST(StepAnimation, ValueCloserThanTheStepsMovesOneUnitThenStays) {
  PopupFrame f = Frame(0, 0, 0, 0, 0);
  const PopupFrame to = Frame(0, 0, 0, -3, 3);
  const int alphas[] = {1, 2, 3, 3, 3};
  const int bottoms[] = {-1, -2, -3, -3, -3};
  for (int i = 0, n = 5; n >= 1; ++i, --n) {
    f = StepAnimation(f, to, n);
    EXPECT_EQ(f.alpha, alphas[i]) << "n " << n;
    EXPECT_EQ(f.rect.bottom, bottoms[i]) << "n " << n;
  }
}

TEST(StepAnimation, ExtremeDistancesDoNotOverflow) {
  // Distance 2^32 − 1; half of it is INT_MAX.
  const PopupFrame from = Frame(INT_MIN, INT_MAX, 0, 0, 0);
  const PopupFrame to = Frame(INT_MAX, INT_MIN, 0, 0, 0);
  const PopupFrame half = StepAnimation(from, to, 2);
  EXPECT_EQ(half.rect.left, -1);
  EXPECT_EQ(half.rect.top, 0);
  EXPECT_EQ(StepAnimation(half, to, 1), to);
}

}  // namespace
}  // namespace zandle::popup
