#include <gtest/gtest.h>

#include "popup/core/focus_order.h"

namespace zandle::popup {
namespace {

// The survey's items: heading, request, link, three levels, close.
const std::vector<FocusKind> kSurvey = {FocusKind::None,   FocusKind::None,   FocusKind::Link, FocusKind::Button,
                                        FocusKind::Button, FocusKind::Button, FocusKind::Close};

TEST(FocusOrder, AnswersThenLinksThenClose) {
  EXPECT_EQ(FocusOrder(kSurvey), (std::vector<int>{3, 4, 5, 2, 6}));
  EXPECT_EQ(FocusOrder({FocusKind::Close, FocusKind::Link, FocusKind::Link}), (std::vector<int>{1, 2, 0}));
  EXPECT_TRUE(FocusOrder({FocusKind::None, FocusKind::None}).empty());
  EXPECT_TRUE(FocusOrder({}).empty());
}

TEST(FocusOrder, TabAndArrowsWalkRoundAndShiftTabWalksBack) {
  const std::vector<int> order = FocusOrder(kSurvey);
  int at = -1;
  std::vector<int> visited;
  for (int i = 0; i < 6; ++i) visited.push_back(at = MoveFocus(order, at, ActionForKey(Key::Tab, false)));
  EXPECT_EQ(visited, (std::vector<int>{3, 4, 5, 2, 6, 3}));
  visited.clear();
  for (int i = 0; i < 3; ++i) visited.push_back(at = MoveFocus(order, at, ActionForKey(Key::Tab, true)));
  EXPECT_EQ(visited, (std::vector<int>{6, 2, 5}));
  EXPECT_EQ(MoveFocus(order, 5, ActionForKey(Key::Right, false)), 2);
  EXPECT_EQ(MoveFocus(order, 5, ActionForKey(Key::Down, false)), 2);
  EXPECT_EQ(MoveFocus(order, 5, ActionForKey(Key::Left, false)), 4);
  EXPECT_EQ(MoveFocus(order, 5, ActionForKey(Key::Up, false)), 4);
  EXPECT_EQ(MoveFocus(order, 4, ActionForKey(Key::Home, false)), 3);
  EXPECT_EQ(MoveFocus(order, 4, ActionForKey(Key::End, false)), 6);
  // From nothing focused (or an item that takes no focus) backwards lands on the last.
  EXPECT_EQ(MoveFocus(order, -1, KeyAction::MovePrevious), 6);
  EXPECT_EQ(MoveFocus(order, 0, KeyAction::MovePrevious), 6);
  EXPECT_EQ(MoveFocus({}, 3, KeyAction::MoveNext), -1);
  EXPECT_EQ(MoveFocus({4}, 4, KeyAction::MoveNext), 4);
}

TEST(FocusOrder, KeysThatPressCloseOrDoNothing) {
  EXPECT_EQ(ActionForKey(Key::Enter, false), KeyAction::Press);
  EXPECT_EQ(ActionForKey(Key::Space, true), KeyAction::Press);
  EXPECT_EQ(ActionForKey(Key::Escape, false), KeyAction::Close);
  EXPECT_EQ(ActionForKey(Key::Other, false), KeyAction::None);
  const std::vector<int> order = FocusOrder(kSurvey);
  EXPECT_EQ(MoveFocus(order, 4, KeyAction::None), 4);
  EXPECT_EQ(MoveFocus(order, 1, KeyAction::None), -1);
}

}  // namespace
}  // namespace zandle::popup

#include "popup_test_support.h"

namespace zandle::popup {
namespace {

using namespace test;

TEST(FocusHold, TheShowDelayWaitsWhileFocusedAndAFocusDuringTheFadeOutBringsItBack) {
  FakeScreen screen;
  PopupMachine m(screen);
  Configure(m, AnimationKind::Fade, 256, 200, {329, 128});
  ShowAtOnce(m);
  EXPECT_EQ(m.SetFocused(true), Effects{});
  EXPECT_EQ(m.OnTimer(TimerShowDelay), Effects{});
  EXPECT_EQ(m.popupState(), PopupState::Showing);
  m.SetFocused(false);
  m.OnTimer(TimerShowDelay);
  ASSERT_EQ(m.popupState(), PopupState::Collapsing);
  const Effects back = m.SetFocused(true);
  ASSERT_FALSE(back.empty());
  EXPECT_EQ(back.front(), Kill(TimerCollapsing));
  EXPECT_EQ(m.popupState(), PopupState::Showing);
  m.Closed(true);
  EXPECT_FALSE(m.focused());
}

}  // namespace
}  // namespace zandle::popup

namespace zandle::popup {
namespace {

TEST(FocusMark, TwoPixelsOutsideTheItemAndInsideTheClientArea) {
  const Rect client{0, 0, 329, 128};
  EXPECT_EQ(FocusMarkRect({135, 74, 206, 90}, client), (Rect{133, 72, 208, 92}));
  EXPECT_EQ(FocusMarkRect({308, 14, 328, 30}, client), (Rect{306, 12, 329, 32}));
  EXPECT_EQ(FocusMarkRect({1, 1, 5, 127}, client), (Rect{0, 0, 7, 128}));
}

TEST(FocusMark, DotsOnEveryOtherPixelOfTheFrameOnly) {
  const Rect mark{2, 2, 7, 6};  // 5 × 4
  int dots = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 9; ++x) dots += IsFocusMarkDot(mark, x, y);
  // The frame has 14 pixels; (x + y) even on 7 of them.
  EXPECT_EQ(dots, 7);
  EXPECT_TRUE(IsFocusMarkDot(mark, 2, 2));
  EXPECT_FALSE(IsFocusMarkDot(mark, 3, 2));
  EXPECT_FALSE(IsFocusMarkDot(mark, 4, 4));  // inside
  EXPECT_TRUE(IsFocusMarkDot(mark, 6, 4));
  EXPECT_FALSE(IsFocusMarkDot(mark, 6, 5));
  EXPECT_FALSE(IsFocusMarkDot(mark, 7, 5));  // right is exclusive
}

}  // namespace
}  // namespace zandle::popup
