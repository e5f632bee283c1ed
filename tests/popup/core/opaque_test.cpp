#include <gtest/gtest.h>

#include "popup_test_support.h"

namespace zandle::popup {
namespace {

using namespace test;

const Rect kFull{1591, 912, 1920, 1040};

TEST(Opaque, FadeShowsAndHidesAtOnceWithoutALayeredWindow) {
  FakeScreen screen;
  PopupMachine m(screen);
  m.SetOpaque(true);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  EXPECT_FALSE(m.NeedsLayeredStyle());
  const Effects shown = m.BeginExpanding(true);
  EXPECT_EQ(shown, (Effects{StateChanged(PopupState::Expanding), Apply(kFull), StateChanged(PopupState::Showing),
                            Start(TimerShowDelay, 3000)}));
  EXPECT_EQ(m.OnTimer(TimerShowDelay),
            (Effects{Kill(TimerShowDelay), StateChanged(PopupState::Collapsing), CloseWindow()}));
}

TEST(Opaque, SlideStillSlides) {
  FakeScreen screen;
  PopupMachine m(screen);
  m.SetOpaque(true);
  Configure(m, AnimationKind::Slide, 256, 255, {329, 128});
  const Effects effects = m.BeginExpanding(true);
  ASSERT_EQ(effects.size(), 3u);
  EXPECT_EQ(effects[1], Start(TimerExpanding, 16));
}

TEST(Opaque, TurnedOnDuringAFadeMakesTheWindowOpaqueAndKeepsItSo) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ASSERT_TRUE(m.NeedsLayeredStyle());
  m.BeginExpanding(true);
  m.OnTimer(TimerExpanding);
  ASSERT_LT(m.appliedAlpha(), 255);
  EXPECT_EQ(m.SetOpaque(true), Effects{Alpha(255)});
  // The remaining steps and the hover changes ask for no alpha below 255.
  for (int i = 0; i < 20 && m.popupState() == PopupState::Expanding; ++i)
    for (const Effect& e : m.OnTimer(TimerExpanding)) {
      EXPECT_NE(e.kind, EffectKind::SetAlpha);
      if (e.kind == EffectKind::ApplyCurrentState) EXPECT_EQ(e.value, kKeepAlpha);
    }
  EXPECT_EQ(m.popupState(), PopupState::Showing);
  m.MouseMoved(true);
  m.MouseMoved(false);
  EXPECT_EQ(m.appliedAlpha(), 255);
  // Turned off again: the next hover leaves the host's transparency back.
  EXPECT_EQ(m.SetOpaque(false), Effects{});
  m.MouseMoved(true);
  EXPECT_EQ(m.MouseMoved(false), Effects{Alpha(200)});
}

}  // namespace
}  // namespace zandle::popup
