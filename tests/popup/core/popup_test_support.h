// Fakes and effect builders shared by the popup core tests.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "popup/core/popup_machine.h"

namespace zandle::popup {

inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

inline void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }

inline void PrintTo(const Effect& e, std::ostream* os) {
  static const char* const names[] = {"StateChanged", "StartTimer", "KillTimer", "ApplyCurrentState",
                                      "SetAlpha",     "TrackLeave", "Close",     "PositionChanged"};
  *os << names[static_cast<int>(e.kind)] << "{" << e.value;
  if (e.kind == EffectKind::StartTimer) *os << ", period " << e.period;
  if (e.kind == EffectKind::ApplyCurrentState) PrintTo(e.rect, os);
  *os << "}";
}

namespace test {

// Answers like a 1920 × 1080 primary monitor; records what it was asked.
struct FakeScreen : ScreenQueries {
  bool taskbarKnown = true;
  Rect taskbar{0, 1040, 1920, 1080};
  Rect taskbarWorkArea{0, 0, 1920, 1040};
  Rect primaryWorkArea{0, 0, 1920, 1040};
  std::vector<Rect> workAreaQueries;
  int taskbarQueries = 0;

  bool TaskbarRect(Rect& out) override {
    ++taskbarQueries;
    if (taskbarKnown) out = taskbar;
    return taskbarKnown;
  }
  Rect WorkAreaFromRect(const Rect& r) override {
    workAreaQueries.push_back(r);
    return taskbarWorkArea;
  }
  Rect PrimaryWorkArea() override { return primaryWorkArea; }
};

inline Effect StateChanged(PopupState s) { return {EffectKind::StateChanged, static_cast<int>(s), 0, {}}; }
inline Effect Start(unsigned id, unsigned period) {
  return {EffectKind::StartTimer, static_cast<int>(id), period, {}};
}
inline Effect Kill(unsigned id) { return {EffectKind::KillTimer, static_cast<int>(id), 0, {}}; }
inline Effect Apply(Rect r, int alpha = kKeepAlpha) { return {EffectKind::ApplyCurrentState, alpha, 0, r}; }
inline Effect Alpha(int a) { return {EffectKind::SetAlpha, a, 0, {}}; }
inline Effect TrackLeave() { return {EffectKind::TrackLeave, 0, 0, {}}; }
inline Effect CloseWindow() { return {EffectKind::Close, 0, 0, {}}; }
inline Effect PositionChanged() { return {EffectKind::PositionChanged, 0, 0, {}}; }

// A popup as the survey host configures one, in a created window.
inline void Configure(PopupMachine& m, AnimationKind kind, unsigned delay, int transparency, Size size,
                      unsigned showDelay = 3000) {
  m.SetAnimationKind(kind);
  m.SetAnimationDelay(delay);
  m.SetTransparency(transparency);
  m.SetPopupSize(size);
  m.SetShowDelay(showDelay);
  m.Created(m.NeedsLayeredStyle());
}

// Brought to the showing state at once by a press during the expansion (anchor
// (1920, 1040) on the fake screen).
inline void ShowAtOnce(PopupMachine& m) {
  m.BeginExpanding(true);
  m.ButtonPressed();
  ASSERT_EQ(m.popupState(), PopupState::Showing);
}

// Ticks `timer` once per expected frame, checking the frame shown after each tick;
// every tick but the last only applies it. Returns the last tick's effects.
// `layered`: the window gets each new alpha; otherwise it keeps its alpha.
inline Effects RunAnimation(PopupMachine& m, unsigned timer, const std::vector<PopupFrame>& frames, bool layered) {
  Effects last;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const Effects effects = m.OnTimer(timer);
    EXPECT_EQ(m.currentState(), frames[i]) << "tick " << i + 1;
    const Effect apply = Apply(frames[i].rect, layered ? frames[i].alpha : kKeepAlpha);
    if (i + 1 < frames.size()) {
      EXPECT_EQ(effects, Effects{apply}) << "tick " << i + 1;
    } else {
      EXPECT_FALSE(effects.empty());
      if (!effects.empty()) EXPECT_EQ(effects.front(), apply) << "last tick";
      last = effects;
    }
  }
  return last;
}

}  // namespace test
}  // namespace zandle::popup
