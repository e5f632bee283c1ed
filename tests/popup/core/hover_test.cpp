#include <gtest/gtest.h>

#include <vector>

#include "popup_test_support.h"

namespace zandle::popup {
namespace {

using namespace test;

TEST(Hover, MakesThePopupOpaqueUntilTheMouseLeaves) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  EXPECT_EQ(m.MouseMoved(true), (Effects{Alpha(255), TrackLeave()}));
  EXPECT_TRUE(m.hovered());
  EXPECT_EQ(m.MouseMoved(true), Effects{});
  EXPECT_EQ(m.MouseMoved(false), Effects{Alpha(200)});
  EXPECT_FALSE(m.hovered());
  EXPECT_EQ(m.MouseMoved(false), Effects{});
}

TEST(Hover, AnimationStepsLeaveTheAlphaAloneWhileHovered) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  const Rect full{1591, 912, 1920, 1040};
  m.BeginExpanding(true);
  m.OnTimer(TimerExpanding);  // alpha 12
  m.MouseMoved(true);
  EXPECT_EQ(m.OnTimer(TimerExpanding), Effects{Apply(full)});  // alpha 24 not shown
  EXPECT_EQ(m.currentState().alpha, 24);
  // Leaving restores the transparency, the next step the animation's alpha.
  EXPECT_EQ(m.MouseMoved(false), Effects{Alpha(200)});
  EXPECT_EQ(m.OnTimer(TimerExpanding), Effects{Apply(full, 36)});
}

TEST(Hover, ShowDelayTicksAreIgnoredWhileHovered) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  m.MouseMoved(true);
  EXPECT_EQ(m.OnTimer(TimerShowDelay), Effects{});
  EXPECT_EQ(m.OnTimer(TimerShowDelay), Effects{});
  EXPECT_EQ(m.popupState(), PopupState::Showing);
  m.MouseMoved(false);
  const Effects tick = m.OnTimer(TimerShowDelay);
  ASSERT_GE(tick.size(), 2u);
  EXPECT_EQ(tick[0], Kill(TimerShowDelay));
  EXPECT_EQ(tick[1], StateChanged(PopupState::Collapsing));
}

TEST(Hover, WithoutLayeredStyleNoAlphaIsSetButItIsRemembered) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 350, 200, {170, 130});
  m.Created(false);
  ShowAtOnce(m);
  EXPECT_EQ(m.appliedAlpha(), 200);
  EXPECT_EQ(m.MouseMoved(true), Effects{TrackLeave()});
  EXPECT_EQ(m.appliedAlpha(), 255);
}

TEST(LayeredAlpha, ClampsAndSkipsTheValueAlreadyApplied) {
  FakeScreen screen;
  PopupMachine m(screen);
  m.Created(true);
  EXPECT_EQ(m.SetLayeredAlpha(300), Effects{});  // 255, already applied
  EXPECT_EQ(m.SetLayeredAlpha(100), Effects{Alpha(100)});
  EXPECT_EQ(m.SetLayeredAlpha(100), Effects{});
  EXPECT_EQ(m.SetLayeredAlpha(-5), Effects{Alpha(0)});  // a byte would wrap to 251
  EXPECT_EQ(m.SetLayeredAlpha(1000), Effects{Alpha(255)});
}

TEST(CollapseReversal, FadeReturnsToShowingWithANewShowDelay) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  m.OnTimer(TimerShowDelay);
  for (int i = 0; i < 5; ++i) m.OnTimer(TimerCollapsing);
  EXPECT_EQ(m.currentState().alpha, 140);
  EXPECT_EQ(m.MouseMoved(true), (Effects{Alpha(255), TrackLeave(), Kill(TimerCollapsing),
                                         StateChanged(PopupState::Showing), Start(TimerShowDelay, 3000)}));
  EXPECT_EQ(m.currentState(), (PopupFrame{{1591, 912, 1920, 1040}, 200}));
  EXPECT_EQ(m.MouseMoved(false), Effects{Alpha(200)});
}

TEST(CollapseReversal, SlideComesBackOverTheStepsAlreadyMade) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 350, 255, {170, 130});
  ShowAtOnce(m);
  m.OnTimer(TimerShowDelay);
  for (int i = 0; i < 5; ++i) m.OnTimer(TimerCollapsing);  // tops 916 .. 940
  EXPECT_EQ(m.stepsLeft(), 16);
  EXPECT_EQ(m.MouseMoved(true), (Effects{TrackLeave(), Kill(TimerCollapsing), StateChanged(PopupState::Expanding),
                                         Start(TimerExpanding, 16), Apply({1750, 940, 1920, 1040})}));
  EXPECT_EQ(m.stepsLeft(), 5);
  // 30 rows back in 5 steps of 6.
  std::vector<PopupFrame> frames;
  for (int top : {934, 928, 922, 916, 910}) frames.push_back({{1750, top, 1920, 1040}, 255});
  EXPECT_EQ(RunAnimation(m, TimerExpanding, frames, false),
            (Effects{Apply({1750, 910, 1920, 1040}), Kill(TimerExpanding), StateChanged(PopupState::Showing),
                     Start(TimerShowDelay, 3000)}));
}

TEST(CollapseReversal, AfterAStrayTickPastTheEndTakesAFullExpansion) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Slide, 256, 255, {170, 130});
  ShowAtOnce(m);
  m.OnTimer(TimerShowDelay);
  for (int i = 0; i < 16; ++i) m.OnTimer(TimerCollapsing);  // all 16 steps made
  m.OnTimer(TimerCollapsing);                               // one more, already queued
  EXPECT_EQ(m.currentState().rect, (Rect{1750, 1040, 1920, 1040}));
  m.MouseMoved(true);
  EXPECT_EQ(m.popupState(), PopupState::Expanding);
  // Back over the 16 steps it went out, as a fresh expansion: 130 rows, 8 a step then 9.
  std::vector<PopupFrame> frames;
  int top = 1040;
  for (int i = 0; i < 16; ++i) {
    top -= i < 14 ? 8 : 9;
    frames.push_back({{1750, top, 1920, 1040}, 255});
  }
  EXPECT_EQ(RunAnimation(m, TimerExpanding, frames, false),
            (Effects{Apply({1750, 910, 1920, 1040}), Kill(TimerExpanding), StateChanged(PopupState::Showing),
                     Start(TimerShowDelay, 3000)}));
}

TEST(CollapseReversal, BeforeTheFirstStepTakesOneStep) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Unfold, 500, 255, {220, 90});
  ShowAtOnce(m);
  m.OnTimer(TimerShowDelay);
  m.MouseMoved(true);  // 31 − 31 steps made: at least one
  EXPECT_EQ(m.stepsLeft(), 1);
  const Effects tick = m.OnTimer(TimerExpanding);
  ASSERT_FALSE(tick.empty());
  EXPECT_EQ(tick[0], Apply({1700, 950, 1920, 1040}));
  EXPECT_EQ(m.popupState(), PopupState::Showing);
}

}  // namespace
}  // namespace zandle::popup
