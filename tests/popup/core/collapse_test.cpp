#include <gtest/gtest.h>

#include <vector>

#include "popup_test_support.h"

namespace zandle::popup {
namespace {

using namespace test;

TEST(Collapsing, FadeLowersAlphaWithTheRectangleKeptThenCloses) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  const Rect full{1591, 912, 1920, 1040};
  EXPECT_EQ(m.OnTimer(TimerShowDelay), (Effects{Kill(TimerShowDelay), StateChanged(PopupState::Collapsing),
                                                Start(TimerCollapsing, 16), Apply(full)}));
  EXPECT_EQ(m.targetState(), (PopupFrame{full, 0}));

  // 16 steps from 200 to 0: 12 a step until 104 remain, then 13.
  const int alphas[] = {188, 176, 164, 152, 140, 128, 116, 104, 91, 78, 65, 52, 39, 26, 13, 0};
  std::vector<PopupFrame> frames;
  for (int a : alphas) frames.push_back({full, a});
  EXPECT_EQ(RunAnimation(m, TimerCollapsing, frames, true),
            (Effects{Apply(full, 0), Kill(TimerCollapsing), CloseWindow()}));

  // The window's Close() destroys it and reports back; the owner hears of it last.
  EXPECT_EQ(m.Closed(true), Effects{StateChanged(PopupState::Closed)});
  EXPECT_EQ(m.popupState(), PopupState::Closed);
  EXPECT_EQ(m.Closed(true), Effects{});
}

TEST(Collapsing, SlideShrinksDownToTheBottomEdge) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 350, 255, {170, 130});
  ShowAtOnce(m);
  EXPECT_EQ(m.OnTimer(TimerShowDelay), (Effects{Kill(TimerShowDelay), StateChanged(PopupState::Collapsing),
                                                Start(TimerCollapsing, 16), Apply({1750, 910, 1920, 1040})}));
  // 21 steps over 130 rows: 6 a step for 17 steps, then 7.
  const int tops[] = {916, 922, 928, 934, 940,  946,  952,  958,  964,  970, 976,
                      982, 988, 994, 1000, 1006, 1012, 1019, 1026, 1033, 1040};
  std::vector<PopupFrame> frames;
  for (int top : tops) frames.push_back({{1750, top, 1920, 1040}, 255});
  EXPECT_EQ(RunAnimation(m, TimerCollapsing, frames, false),
            (Effects{Apply({1750, 1040, 1920, 1040}), Kill(TimerCollapsing), CloseWindow()}));
}

TEST(Collapsing, UnfoldShrinksTowardTheAnchorCorner) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Unfold, 500, 255, {220, 90});
  ShowAtOnce(m);
  m.OnTimer(TimerShowDelay);
  EXPECT_EQ(m.targetState().rect, (Rect{1920, 1040, 1920, 1040}));
  // 31 steps: columns 7 a step then the last three 8; rows 2, 2, 2, then 3.
  const int lefts[] = {1707, 1714, 1721, 1728, 1735, 1742, 1749, 1756, 1763, 1770, 1777, 1784, 1791, 1798, 1805, 1812,
                       1819, 1826, 1833, 1840, 1847, 1854, 1861, 1868, 1875, 1882, 1889, 1896, 1904, 1912, 1920};
  const int tops[] = {952,  954,  956,  959,  962,  965,  968,  971,  974,  977,  980,  983,  986,  989,  992, 995,
                      998,  1001, 1004, 1007, 1010, 1013, 1016, 1019, 1022, 1025, 1028, 1031, 1034, 1037, 1040};
  std::vector<PopupFrame> frames;
  for (int i = 0; i < 31; ++i) frames.push_back({{lefts[i], tops[i], 1920, 1040}, 255});
  EXPECT_EQ(RunAnimation(m, TimerCollapsing, frames, false),
            (Effects{Apply({1920, 1040, 1920, 1040}), Kill(TimerCollapsing), CloseWindow()}));
}

TEST(Collapsing, WithoutAnimationClosesAtOnce) {
  FakeScreen screen;
  PopupMachine none(screen);
  Configure(none, AnimationKind::None, 500, 255, {329, 128});
  none.BeginExpanding(true);
  EXPECT_EQ(none.OnTimer(TimerShowDelay),
            (Effects{Kill(TimerShowDelay), StateChanged(PopupState::Collapsing), CloseWindow()}));

  PopupMachine zeroDelay(screen);
  Configure(zeroDelay, AnimationKind::Slide, 0, 255, {329, 128});
  zeroDelay.BeginExpanding(true);
  EXPECT_EQ(zeroDelay.BeginCollapsing(), (Effects{StateChanged(PopupState::Collapsing), CloseWindow()}));
  EXPECT_EQ(zeroDelay.Closed(true), Effects{StateChanged(PopupState::Closed)});
}

TEST(Closing, WithoutAWindowOnlyTheHoverIsCleared) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  m.MouseMoved(true);
  EXPECT_EQ(m.Closed(false), Effects{});
  EXPECT_FALSE(m.hovered());
  EXPECT_EQ(m.popupState(), PopupState::Showing);
}

TEST(Timers, UnknownIdsDoNothing) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  const PopupFrame before = m.currentState();
  EXPECT_EQ(m.OnTimer(0), Effects{});
  EXPECT_EQ(m.OnTimer(298), Effects{});
  EXPECT_EQ(m.currentState(), before);
  EXPECT_EQ(m.popupState(), PopupState::Showing);
}

}  // namespace
}  // namespace zandle::popup
