#include <gtest/gtest.h>

#include <vector>

#include "popup_test_support.h"

namespace zandle::popup {
namespace {

using namespace test;

// Taskbar at the bottom of a 1920 × 1080 screen: every popup's anchor is (1920, 1040).

TEST(Machine, StartsWithTheDocumentedValues) {
  FakeScreen screen;
  PopupMachine m(screen);
  EXPECT_EQ(m.animationKind(), AnimationKind::None);
  EXPECT_EQ(m.popupState(), PopupState::Closed);
  EXPECT_EQ(m.popupSize(), (Size{170, 130}));
  EXPECT_EQ(m.popupPos(), (Point{-1, -1}));
  EXPECT_EQ(m.transparency(), 255);
  EXPECT_EQ(m.appliedAlpha(), 255);
  EXPECT_EQ(m.showDelay(), 5000u);
  EXPECT_EQ(m.animationDelay(), 256u);
  EXPECT_EQ(m.stepInterval(), 16u);
  EXPECT_EQ(m.stepsLeft(), 0);
  EXPECT_FALSE(m.hovered());
  EXPECT_FALSE(m.NeedsLayeredStyle());
  m.SetTransparency(254);
  EXPECT_TRUE(m.NeedsLayeredStyle());
  m.SetTransparency(255);
  m.SetAnimationKind(AnimationKind::Fade);
  EXPECT_TRUE(m.NeedsLayeredStyle());
}

TEST(Expanding, FadeRaisesAlphaWithTheRectangleAlreadyFull) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  const Rect full{1591, 912, 1920, 1040};
  EXPECT_EQ(m.BeginExpanding(true),
            (Effects{StateChanged(PopupState::Expanding), Start(TimerExpanding, 16), Apply(full, 0)}));
  EXPECT_EQ(m.targetState(), (PopupFrame{full, 200}));
  EXPECT_EQ(m.stepsLeft(), 16);

  // 256 / 16 = 16 steps from 0 to 200: 12 a step (200/16) until 104 remain for the
  // last 8 steps, then 13 each.
  const int alphas[] = {12, 24, 36, 48, 60, 72, 84, 96, 109, 122, 135, 148, 161, 174, 187, 200};
  std::vector<PopupFrame> frames;
  for (int a : alphas) frames.push_back({full, a});
  EXPECT_EQ(RunAnimation(m, TimerExpanding, frames, true),
            (Effects{Apply(full, 200), Kill(TimerExpanding), StateChanged(PopupState::Showing),
                     Start(TimerShowDelay, 3000)}));
  EXPECT_EQ(m.popupState(), PopupState::Showing);
  EXPECT_EQ(m.appliedAlpha(), 200);
}

TEST(Expanding, SlideGrowsUpwardFromTheBottomEdge) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 350, 255, {170, 130});
  EXPECT_EQ(m.BeginExpanding(true), (Effects{StateChanged(PopupState::Expanding), Start(TimerExpanding, 16),
                                             Apply({1750, 1040, 1920, 1040})}));
  EXPECT_EQ(m.stepsLeft(), 21);

  // 350 / 16 = 21 steps over 130 rows: 6 a step for 17 steps, then the 28 rows left
  // 7 a step.
  const int tops[] = {1034, 1028, 1022, 1016, 1010, 1004, 998, 992, 986, 980, 974,
                      968,  962,  956,  950,  944,  938,  931, 924, 917, 910};
  std::vector<PopupFrame> frames;
  for (int top : tops) frames.push_back({{1750, top, 1920, 1040}, 255});
  const Effects last = RunAnimation(m, TimerExpanding, frames, false);
  EXPECT_EQ(last, (Effects{Apply({1750, 910, 1920, 1040}), Kill(TimerExpanding), StateChanged(PopupState::Showing),
                           Start(TimerShowDelay, 3000)}));
}

TEST(Expanding, UnfoldGrowsFromTheAnchorCornerTowardTheTopLeft) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Unfold, 500, 255, {220, 90});
  EXPECT_EQ(m.BeginExpanding(true), (Effects{StateChanged(PopupState::Expanding), Start(TimerExpanding, 16),
                                             Apply({1920, 1040, 1920, 1040})}));
  EXPECT_EQ(m.stepsLeft(), 31);

  // 500 / 16 = 31 steps: 220 columns go 7 a step, the 24 left after 28 steps 8 a step;
  // 90 rows go 2, 2, 2, then the 84 left 3 a step.
  const int lefts[] = {1913, 1906, 1899, 1892, 1885, 1878, 1871, 1864, 1857, 1850, 1843, 1836, 1829, 1822, 1815, 1808,
                       1801, 1794, 1787, 1780, 1773, 1766, 1759, 1752, 1745, 1738, 1731, 1724, 1716, 1708, 1700};
  const int tops[] = {1038, 1036, 1034, 1031, 1028, 1025, 1022, 1019, 1016, 1013, 1010, 1007, 1004, 1001, 998, 995,
                      992,  989,  986,  983,  980,  977,  974,  971,  968,  965,  962,  959,  956,  953,  950};
  std::vector<PopupFrame> frames;
  for (int i = 0; i < 31; ++i) frames.push_back({{lefts[i], tops[i], 1920, 1040}, 255});
  const Effects last = RunAnimation(m, TimerExpanding, frames, false);
  EXPECT_EQ(last, (Effects{Apply({1700, 950, 1920, 1040}), Kill(TimerExpanding), StateChanged(PopupState::Showing),
                           Start(TimerShowDelay, 3000)}));
}

TEST(Expanding, WithoutAnimationShowsAtOnce) {
  const Rect full{1591, 912, 1920, 1040};
  const Effects atOnce{StateChanged(PopupState::Expanding), Apply(full, 200), StateChanged(PopupState::Showing),
                       Start(TimerShowDelay, 3000)};
  FakeScreen screen;
  PopupMachine none(screen);
  Configure(none, AnimationKind::None, 500, 200, {329, 128});
  EXPECT_EQ(none.BeginExpanding(true), atOnce);
  EXPECT_EQ(none.currentState(), (PopupFrame{full, 200}));

  PopupMachine zeroDelay(screen);
  Configure(zeroDelay, AnimationKind::Fade, 0, 200, {329, 128});
  EXPECT_EQ(zeroDelay.BeginExpanding(true), atOnce);
  EXPECT_EQ(zeroDelay.popupState(), PopupState::Showing);
}

TEST(Expanding, ZeroShowDelayStartsNoTimer) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 16, 200, {329, 128}, 0);
  m.BeginExpanding(true);
  EXPECT_EQ(m.OnTimer(TimerExpanding), (Effects{Apply({1591, 912, 1920, 1040}, 200), Kill(TimerExpanding),
                                                StateChanged(PopupState::Showing)}));
  EXPECT_EQ(m.BeginShowing(), Effects{});
}

TEST(Expanding, PressFinishesTheExpansionAtOnce) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 350, 200, {170, 130});
  m.BeginExpanding(true);
  m.OnTimer(TimerExpanding);
  m.OnTimer(TimerExpanding);
  const Rect full{1750, 910, 1920, 1040};
  EXPECT_EQ(m.ButtonPressed(), (Effects{Apply(full), Kill(TimerExpanding), StateChanged(PopupState::Showing),
                                        Start(TimerShowDelay, 3000)}));
  EXPECT_EQ(m.stepsLeft(), 0);
  EXPECT_EQ(m.currentState(), (PopupFrame{full, 200}));
  EXPECT_EQ(m.ButtonPressed(), Effects{});  // not expanding any more
}

TEST(Expanding, ExplicitPositionPlacesThePopup) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Unfold, 256, 255, {329, 128});
  m.SetPopupPos({700, 500});
  EXPECT_EQ(m.BeginExpanding(true)[2], Apply({700, 500, 700, 500}));
  EXPECT_EQ(m.targetState().rect, (Rect{371, 372, 700, 500}));
  EXPECT_EQ(screen.taskbarQueries, 0);
}

TEST(Machine, CreatedResetsAlphaStateAndHoverSilently) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  m.BeginExpanding(true);
  m.MouseMoved(true);
  m.Created(true);
  EXPECT_EQ(m.popupState(), PopupState::Closed);
  EXPECT_EQ(m.appliedAlpha(), 255);
  EXPECT_FALSE(m.hovered());
}

TEST(Machine, DragEndPinsThePopupWhereItWasDropped) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 350, 255, {170, 130});
  m.BeginExpanding(true);
  m.ButtonPressed();
  const Rect dropped{100, 200, 270, 330};
  EXPECT_EQ(m.DragEnded(dropped), Effects{PositionChanged()});
  EXPECT_EQ(m.currentState().rect, dropped);
  EXPECT_EQ(m.targetState().rect, dropped);
  EXPECT_EQ(m.popupPos(), (Point{270, 330}));
  EXPECT_EQ(m.GetAnchorPoint(), (Point{270, 330}));
  // The collapse slides down to the dropped bottom edge.
  m.OnTimer(TimerShowDelay);
  EXPECT_EQ(m.targetState().rect, (Rect{100, 330, 270, 330}));

  // Dropped with its corner on (−1, −1): still pinned there, not back at the taskbar.
  const int queries = screen.taskbarQueries;
  m.DragEnded({-171, -131, -1, -1});
  EXPECT_EQ(m.GetAnchorPoint(), (Point{-1, -1}));
  EXPECT_EQ(screen.taskbarQueries, queries);
}

}  // namespace
}  // namespace zandle::popup
