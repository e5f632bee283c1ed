// States, animation, hover and drag end of one popup window, without any I/O: every
// operation returns the effects its window must carry out, in order.
// Run them in order and stop as soon as the owner has destroyed the popup inside a
// StateChanged notification. Close is always last; the window's Close() then calls
// Closed(), whose StateChanged(closed) is the one the owner usually destroys it in.
#pragma once

#include "popup/core/geometry.h"
#include "popup/core/placement.h"
#include "popup/core/popup_effect.h"
#include "popup/core/popup_types.h"

namespace zandle::popup {

class PopupMachine {
 public:
  explicit PopupMachine(ScreenQueries& screen) noexcept : screen_(screen) {}

  // Host settings; they take effect at the next expansion (kind and transparency also
  // decide the window's layered style at creation).
  void SetAnimationKind(AnimationKind kind) noexcept { animationKind_ = kind; }
  void SetPopupSize(Size size) noexcept { popupSize_ = size; }
  // (−1, −1) means automatic placement beside the taskbar.
  void SetPopupPos(Point pos) noexcept;
  void SetTransparency(int transparency) noexcept { transparency_ = transparency; }
  void SetShowDelay(unsigned ms) noexcept { showDelay_ = ms; }
  void SetAnimationDelay(unsigned ms) noexcept { animationDelay_ = ms; }
  void SetStepInterval(unsigned ms) noexcept { stepInterval_ = ms; }
  // High contrast: no alpha below 255, so a fade shows and hides at once. Turned on
  // during a fade, the window is made opaque and the fade runs on unseen.
  Effects SetOpaque(bool opaque);

  // The window wants the layered style (if the system offers it).
  bool NeedsLayeredStyle() const noexcept;
  // A new window exists; `layered` tells whether it got the layered style.
  void Created(bool layered) noexcept;

  Effects BeginExpanding(bool restart);
  Effects BeginCollapsing();
  Effects BeginShowing();
  Effects OnTimer(unsigned id);
  // `inside`: the point is in the client rectangle or an item is pressed. A mouse-leave
  // message is a move outside. Any move during a collapse reverses it.
  Effects MouseMoved(bool inside);
  // Keyboard focus holds the popup up as the pointer over it does; gained during a
  // collapse, it reverses it.
  Effects SetFocused(bool focused);
  // Left button down: during an expansion, finishes it at once.
  Effects ButtonPressed();
  Effects SetLayeredAlpha(int alpha);
  // After Close(): `windowDestroyed` is false when there was no window to destroy.
  Effects Closed(bool windowDestroyed);
  Effects DragEnded(const Rect& windowRect);

  Point GetAnchorPoint();

  AnimationKind animationKind() const noexcept { return animationKind_; }
  PopupState popupState() const noexcept { return popupState_; }
  Size popupSize() const noexcept { return popupSize_; }
  Point popupPos() const noexcept { return popupPos_; }
  int transparency() const noexcept { return transparency_; }
  int appliedAlpha() const noexcept { return appliedAlpha_; }
  unsigned showDelay() const noexcept { return showDelay_; }
  unsigned animationDelay() const noexcept { return animationDelay_; }
  unsigned stepInterval() const noexcept { return stepInterval_; }
  int stepsLeft() const noexcept { return stepsLeft_; }
  const PopupFrame& targetState() const noexcept { return targetState_; }
  const PopupFrame& currentState() const noexcept { return currentState_; }
  bool hovered() const noexcept { return hovered_; }
  bool opaque() const noexcept { return opaque_; }
  bool focused() const noexcept { return focused_; }

 private:
  bool Animates() const noexcept;
  // The one place that turns popupSize into pixels on screen.
  Size ScreenSize() const noexcept { return popupSize_; }
  void SetPopupState(PopupState state, Effects& out);
  void Expand(bool restart, Effects& out);
  void Collapse(Effects& out);
  void Show(Effects& out);
  void Reverse(Effects& out);
  void ApplyCurrentState(Effects& out);
  // True when the system call would be made.
  bool LayeredAlpha(int alpha) noexcept;

  ScreenQueries& screen_;
  AnimationKind animationKind_ = AnimationKind::None;
  PopupState popupState_ = PopupState::Closed;
  Size popupSize_{170, 130};
  Point popupPos_{-1, -1};
  // A dragged popup keeps its place even when its corner lands on (−1, −1).
  bool explicitPos_ = false;
  int transparency_ = 255;
  int appliedAlpha_ = 255;
  unsigned showDelay_ = 5000;
  unsigned animationDelay_ = 256;
  unsigned stepInterval_ = 16;
  int stepsLeft_ = 0;
  PopupFrame targetState_;
  PopupFrame currentState_;
  bool hovered_ = false;
  bool layered_ = false;
  bool opaque_ = false;
  bool focused_ = false;
};

}  // namespace zandle::popup
