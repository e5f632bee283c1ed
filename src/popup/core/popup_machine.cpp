#include "popup/core/popup_machine.h"

#include "popup/core/animation.h"

namespace zandle::popup {
namespace {

Effect Make(EffectKind kind, int value = 0) { return Effect{kind, value, 0, {}}; }

Effect StartTimer(unsigned id, unsigned period) {
  return Effect{EffectKind::StartTimer, static_cast<int>(id), period, {}};
}

}  // namespace

void PopupMachine::SetPopupPos(Point pos) noexcept {
  popupPos_ = pos;
  explicitPos_ = pos.x != -1 || pos.y != -1;
}

bool PopupMachine::NeedsLayeredStyle() const noexcept {
  return !opaque_ && (transparency_ < 255 || animationKind_ == AnimationKind::Fade);
}

Effects PopupMachine::SetOpaque(bool opaque) {
  opaque_ = opaque;
  Effects out;
  if (opaque && LayeredAlpha(255)) out.push_back(Make(EffectKind::SetAlpha, appliedAlpha_));
  return out;
}

void PopupMachine::Created(bool layered) noexcept {
  layered_ = layered;
  appliedAlpha_ = 255;
  popupState_ = PopupState::Closed;
  // A window destroyed from outside may have left this set; the new one has no mouse yet.
  hovered_ = false;
  focused_ = false;
}

Point PopupMachine::GetAnchorPoint() {
  return AnchorPoint(explicitPos_ ? std::optional<Point>(popupPos_) : std::nullopt, screen_, ScreenSize());
}

bool PopupMachine::Animates() const noexcept {
  if (opaque_ && animationKind_ == AnimationKind::Fade) return false;
  return animationKind_ != AnimationKind::None && animationDelay_ != 0;
}

void PopupMachine::SetPopupState(PopupState state, Effects& out) {
  if (state == popupState_) return;
  popupState_ = state;
  out.push_back(Make(EffectKind::StateChanged, static_cast<int>(state)));
}

Effects PopupMachine::BeginExpanding(bool restart) {
  Effects out;
  Expand(restart, out);
  return out;
}

void PopupMachine::Expand(bool restart, Effects& out) {
  SetPopupState(PopupState::Expanding, out);
  const Point anchor = GetAnchorPoint();
  targetState_ = {FullRectAt(anchor, ScreenSize()), transparency_};
  if (restart) {
    currentState_ = targetState_;
    if (!Animates()) {
      ApplyCurrentState(out);
      Show(out);
      return;
    }
    switch (animationKind_) {
      case AnimationKind::Fade: currentState_.alpha = 0; break;
      case AnimationKind::Slide: currentState_.rect = SlideRectAt(anchor, ScreenSize()); break;
      case AnimationKind::Unfold: currentState_.rect = UnfoldRectAt(anchor); break;
      default: break;
    }
    stepsLeft_ = StepCount(animationDelay_, stepInterval_);
  } else {
    // As many steps back as the collapse had made; both counts lie in 0..INT_MAX.
    const int steps = StepCount(animationDelay_, stepInterval_) - stepsLeft_;
    stepsLeft_ = steps < 1 ? 1 : steps;
  }
  out.push_back(StartTimer(TimerExpanding, stepInterval_));
  ApplyCurrentState(out);
}

Effects PopupMachine::BeginCollapsing() {
  Effects out;
  Collapse(out);
  return out;
}

void PopupMachine::Collapse(Effects& out) {
  SetPopupState(PopupState::Collapsing, out);
  if (!Animates()) {
    out.push_back(Make(EffectKind::Close));
    return;
  }
  switch (animationKind_) {
    case AnimationKind::Fade: targetState_.alpha = 0; break;
    case AnimationKind::Slide: targetState_.rect = SlideRectAt(GetAnchorPoint(), ScreenSize()); break;
    case AnimationKind::Unfold: targetState_.rect = UnfoldRectAt(GetAnchorPoint()); break;
    default: break;
  }
  stepsLeft_ = StepCount(animationDelay_, stepInterval_);
  out.push_back(StartTimer(TimerCollapsing, stepInterval_));
  ApplyCurrentState(out);
}

Effects PopupMachine::BeginShowing() {
  Effects out;
  Show(out);
  return out;
}

void PopupMachine::Show(Effects& out) {
  SetPopupState(PopupState::Showing, out);
  currentState_ = {FullRectAt(GetAnchorPoint(), ScreenSize()), transparency_};
  if (showDelay_ > 0) out.push_back(StartTimer(TimerShowDelay, showDelay_));
}

Effects PopupMachine::OnTimer(unsigned id) {
  Effects out;
  if (id == TimerExpanding || id == TimerCollapsing) {
    currentState_ = StepAnimation(currentState_, targetState_, stepsLeft_);
    ApplyCurrentState(out);
    // Overshooting steps (a second running timer) must not wrap below INT_MIN.
    if (stepsLeft_ > 0) --stepsLeft_;
    if (stepsLeft_ > 0) return out;
    out.push_back(Make(EffectKind::KillTimer, static_cast<int>(id)));
    if (id == TimerExpanding) {
      Show(out);
    } else {
      out.push_back(Make(EffectKind::Close));
    }
  } else if (id == TimerShowDelay && !hovered_ && !focused_) {
    out.push_back(Make(EffectKind::KillTimer, static_cast<int>(TimerShowDelay)));
    Collapse(out);
  }
  return out;
}

Effects PopupMachine::MouseMoved(bool inside) {
  Effects out;
  if (inside) {
    if (!hovered_) {
      hovered_ = true;
      if (LayeredAlpha(255)) out.push_back(Make(EffectKind::SetAlpha, appliedAlpha_));
      out.push_back(Make(EffectKind::TrackLeave));
    }
  } else if (hovered_) {
    hovered_ = false;
    if (LayeredAlpha(transparency_)) out.push_back(Make(EffectKind::SetAlpha, appliedAlpha_));
  }
  Reverse(out);
  return out;
}

void PopupMachine::Reverse(Effects& out) {
  if (popupState_ != PopupState::Collapsing) return;
  out.push_back(Make(EffectKind::KillTimer, static_cast<int>(TimerCollapsing)));
  if (animationKind_ == AnimationKind::Fade) {
    Show(out);
  } else {
    Expand(false, out);
  }
}

Effects PopupMachine::SetFocused(bool focused) {
  Effects out;
  focused_ = focused;
  if (focused) Reverse(out);
  return out;
}

Effects PopupMachine::ButtonPressed() {
  Effects out;
  if (popupState_ != PopupState::Expanding) return out;
  stepsLeft_ = 0;
  currentState_ = StepAnimation(currentState_, targetState_, 0);
  ApplyCurrentState(out);
  out.push_back(Make(EffectKind::KillTimer, static_cast<int>(TimerExpanding)));
  Show(out);
  return out;
}

Effects PopupMachine::SetLayeredAlpha(int alpha) {
  Effects out;
  if (LayeredAlpha(alpha)) out.push_back(Make(EffectKind::SetAlpha, appliedAlpha_));
  return out;
}

bool PopupMachine::LayeredAlpha(int alpha) noexcept {
  // The system takes a byte: a negative value would wrap to near-opaque.
  if (alpha > 255) alpha = 255;
  if (alpha < 0) alpha = 0;
  if (opaque_) alpha = 255;
  if (alpha == appliedAlpha_) return false;
  appliedAlpha_ = alpha;
  return layered_;
}

void PopupMachine::ApplyCurrentState(Effects& out) {
  Effect apply = Make(EffectKind::ApplyCurrentState, kKeepAlpha);
  apply.rect = currentState_.rect;
  if (!hovered_ && LayeredAlpha(currentState_.alpha)) apply.value = appliedAlpha_;
  out.push_back(apply);
}

Effects PopupMachine::Closed(bool windowDestroyed) {
  Effects out;
  hovered_ = false;
  focused_ = false;
  if (windowDestroyed) SetPopupState(PopupState::Closed, out);
  return out;
}

Effects PopupMachine::DragEnded(const Rect& windowRect) {
  currentState_.rect = windowRect;
  targetState_.rect = windowRect;
  popupPos_ = {windowRect.right, windowRect.bottom};
  explicitPos_ = true;
  return {Make(EffectKind::PositionChanged)};
}

}  // namespace zandle::popup
