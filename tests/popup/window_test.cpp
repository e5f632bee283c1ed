#include <gtest/gtest.h>
#include <windows.h>

#include "drawing/entry_points.h"
#include "popup_test_support.h"
#include "window_test_support.h"

namespace zandle::popup {
namespace {

using testing::FakeScreen;
using testing::LayeredAlpha;
using testing::Notification;
using testing::Tick;
using testing::WindowRect;

constexpr int kExpanding = 1, kShowing = 2, kCollapsing = 3, kClosed = 0;

bool operator==(const RECT& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class PopupWindowTest : public ::testing::Test {
 protected:
  PopupWindowTest() : screenScope_(screen_) {}

  // A popup of 329 x 128 with a level button, a close item and an inert panel.
  std::unique_ptr<CPopupControl> MakePopup(int kind, unsigned animationDelay, int transparency = 200) {
    auto popup = std::make_unique<CPopupControl>();
    popup->SetAnimation(kind);
    popup->SetAnimationDelay(animationDelay);
    popup->SetShowDelay(3000);
    popup->SetTransparency(transparency);
    popup->SetPopupSize({329, 128});
    testing::AddItem(*popup, {0, 0, 329, 128});  // inert background panel
    CPopupItem* level = testing::AddItem(*popup, {50, 74, 121, 90});
    level->id = -3;
    level->isButton = TRUE;
    CPopupItem* close = testing::AddItem(*popup, {308, 14, 324, 30});
    close->id = -1;
    close->isButton = TRUE;
    return popup;
  }
  // Ticks `id` until the state leaves `state`; the number of ticks.
  int TicksWhile(CPopupControl& popup, UINT_PTR id, int state, int limit = 100) {
    int ticks = 0;
    while (popup.GetPopupState() == state && ticks < limit) {
      Tick(popup, id);
      ++ticks;
      if (popup.GetSafeHwnd()) {
        EXPECT_TRUE((WindowRect(popup.GetSafeHwnd()) == popup.GetMachine().currentState().rect)) << ticks;
      }
    }
    return ticks;
  }
  std::vector<int> States() const {
    std::vector<int> states;
    for (const Notification& n : owner_.received)
      if (n.code == StateChanged) states.push_back(n.state);
    return states;
  }
  static LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

  FakeScreen screen_;
  test::ScopedScreenQueries screenScope_;
  testing::NotificationOwner owner_;
};

TEST_F(PopupWindowTest, WindowShapeClassAndActivation) {
  auto popup = MakePopup(1, 256);
  ASSERT_TRUE(popup->Create(owner_.hwnd()));
  const HWND hwnd = popup->GetSafeHwnd();
  const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  EXPECT_TRUE(exStyle & WS_EX_LAYERED);
  EXPECT_EQ(::GetWindowLongW(hwnd, GWL_STYLE) & ~WS_CLIPSIBLINGS, static_cast<LONG>(WS_POPUP));
  EXPECT_FALSE(::IsWindowVisible(hwnd));  // hidden until the first step
  EXPECT_EQ(::SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(owner_.hwnd()), 0), MA_NOACTIVATE);
  EXPECT_EQ(::SendMessageW(hwnd, WM_ERASEBKGND, 0, 0), TRUE);
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  WNDCLASSEXW info{sizeof(info)};
  ASSERT_TRUE(::GetClassInfoExW(reinterpret_cast<HINSTANCE>(::GetClassLongPtrW(hwnd, GCLP_HMODULE)), name, &info));
  EXPECT_EQ(info.style, 0u);
  EXPECT_EQ(info.hbrBackground, nullptr);
  EXPECT_EQ(info.hIcon, nullptr);
  EXPECT_EQ(info.hCursor, ::LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_TRUE(popup->Create(owner_.hwnd()));  // exists already
  EXPECT_EQ(popup->GetSafeHwnd(), hwnd);
  EXPECT_TRUE(owner_.received.empty());       // creation reports nothing

  auto opaque = MakePopup(2, 256, 255);
  ASSERT_TRUE(opaque->Create(owner_.hwnd()));
  EXPECT_FALSE(::GetWindowLongW(opaque->GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  {
    drawing::test::ScopedAbsentEntry noLayered(drawing::OptionalEntry::LayeredWindows);
    auto faded = MakePopup(1, 256);
    ASSERT_TRUE(faded->Create(owner_.hwnd()));
    EXPECT_FALSE(::GetWindowLongW(faded->GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(faded->SetLayeredAlpha(100));
    EXPECT_TRUE(faded->SetLayeredAlpha(100));  // unchanged
  }
}

TEST_F(PopupWindowTest, FadeExpandsAndCollapsesStepByStep) {
  const struct {
    unsigned delay;
    int steps;
  } cases[] = {{256, 16}, {500, 31}, {350, 21}, {15, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delay);
    auto popup = MakePopup(1, c.delay);
    ASSERT_TRUE(popup->Show(owner_.hwnd()));
    const HWND hwnd = popup->GetSafeHwnd();
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE((WindowRect(hwnd) == Rect{951, 866, 1280, 994}));  // full size from the start
    EXPECT_EQ(LayeredAlpha(hwnd), 0);
    if (c.steps == 16) {
      Tick(*popup, 296);
      EXPECT_EQ(LayeredAlpha(hwnd), 12);  // 200 / 16
      Tick(*popup, 296);
      EXPECT_EQ(LayeredAlpha(hwnd), 24);  // 188 / 15 = 12 more
      EXPECT_EQ(TicksWhile(*popup, 296, kExpanding) + 2, c.steps);
    } else {
      EXPECT_EQ(TicksWhile(*popup, 296, kExpanding), c.steps);
    }
    EXPECT_EQ(popup->GetPopupState(), kShowing);
    EXPECT_EQ(LayeredAlpha(hwnd), 200);
    Tick(*popup, 304);
    EXPECT_EQ(popup->GetPopupState(), kCollapsing);
    EXPECT_EQ(TicksWhile(*popup, 297, kCollapsing), c.steps);
    EXPECT_EQ(popup->GetPopupState(), kClosed);
    EXPECT_FALSE(::IsWindow(hwnd));
    owner_.received.clear();
  }
}

TEST_F(PopupWindowTest, SlideGrowsUpwardAndUnfoldFromTheCorner) {
  auto slide = MakePopup(2, 350, 255);
  ASSERT_TRUE(slide->Show(owner_.hwnd()));
  EXPECT_TRUE((WindowRect(slide->GetSafeHwnd()) == Rect{951, 994, 1280, 994}));
  Tick(*slide, 296);
  EXPECT_TRUE((WindowRect(slide->GetSafeHwnd()) == Rect{951, 988, 1280, 994}));  // 128 / 21 = 6
  Tick(*slide, 296);
  EXPECT_TRUE((WindowRect(slide->GetSafeHwnd()) == Rect{951, 982, 1280, 994}));  // 122 / 20 = 6
  EXPECT_EQ(TicksWhile(*slide, 296, kExpanding) + 2, 21);
  EXPECT_TRUE((WindowRect(slide->GetSafeHwnd()) == Rect{951, 866, 1280, 994}));

  auto unfold = MakePopup(3, 256, 255);
  ASSERT_TRUE(unfold->Show(owner_.hwnd()));
  EXPECT_TRUE((WindowRect(unfold->GetSafeHwnd()) == Rect{1280, 994, 1280, 994}));
  Tick(*unfold, 296);
  // left 329 / 16 = 20, top 128 / 16 = 8
  EXPECT_TRUE((WindowRect(unfold->GetSafeHwnd()) == Rect{1260, 986, 1280, 994}));
  EXPECT_EQ(TicksWhile(*unfold, 296, kExpanding) + 1, 16);
  Tick(*unfold, 304);
  EXPECT_EQ(TicksWhile(*unfold, 297, kCollapsing), 16);
  EXPECT_EQ(unfold->GetPopupState(), kClosed);
}

TEST_F(PopupWindowTest, AnchorsBesideTheTaskbarOnEachEdge) {
  const struct {
    bool known;
    Rect taskbar, workArea;
    Rect expected;
  } cases[] = {
      {true, {0, 994, 1280, 1024}, {0, 0, 1280, 994}, {951, 866, 1280, 994}},     // bottom
      {true, {0, 0, 60, 1024}, {60, 0, 1280, 1024}, {60, 896, 389, 1024}},        // left
      {true, {0, 0, 1280, 30}, {0, 30, 1280, 1024}, {951, 30, 1280, 158}},        // top
      {true, {1220, 0, 1280, 1024}, {0, 0, 1220, 1024}, {891, 896, 1220, 1024}},  // right
      {false, {}, {}, {951, 872, 1280, 1000}},                                    // no answer: primary
  };
  for (const auto& c : cases) {
    screen_.taskbarKnown = c.known;
    screen_.taskbar = c.taskbar;
    screen_.workArea = c.workArea;
    auto popup = MakePopup(0, 256, 255);
    ASSERT_TRUE(popup->Show(owner_.hwnd()));
    EXPECT_EQ(popup->GetPopupState(), kShowing);  // no animation
    EXPECT_TRUE((WindowRect(popup->GetSafeHwnd()) == c.expected)) << c.expected.left << "," << c.expected.top;
  }
  auto placed = MakePopup(0, 256, 255);
  placed->SetPopupPos({500, 400});
  ASSERT_TRUE(placed->Show(owner_.hwnd()));
  EXPECT_TRUE((WindowRect(placed->GetSafeHwnd()) == Rect{171, 272, 500, 400}));
}

TEST_F(PopupWindowTest, HoverHoldsThePopupOpaqueAndLeavingLetsItGo) {
  auto popup = MakePopup(1, 256);
  ASSERT_TRUE(popup->Show(owner_.hwnd()));
  TicksWhile(*popup, 296, kExpanding);
  const HWND hwnd = popup->GetSafeHwnd();
  ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, At(5, 5));
  EXPECT_TRUE(popup->IsHovered());
  EXPECT_EQ(LayeredAlpha(hwnd), 255);
  Tick(*popup, 304);
  EXPECT_EQ(popup->GetPopupState(), kShowing);  // held while hovered
  ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(popup->IsHovered());
  EXPECT_EQ(LayeredAlpha(hwnd), 200);
  Tick(*popup, 304);
  EXPECT_EQ(popup->GetPopupState(), kCollapsing);
}

TEST_F(PopupWindowTest, MouseBackDuringCollapseRestoresThePopup) {
  auto fade = MakePopup(1, 256);
  ASSERT_TRUE(fade->Show(owner_.hwnd()));
  TicksWhile(*fade, 296, kExpanding);
  Tick(*fade, 304);
  for (int i = 0; i < 5; ++i) Tick(*fade, 297);
  EXPECT_LT(LayeredAlpha(fade->GetSafeHwnd()), 200);
  ::SendMessageW(fade->GetSafeHwnd(), WM_MOUSEMOVE, 0, At(5, 5));
  EXPECT_EQ(fade->GetPopupState(), kShowing);
  EXPECT_EQ(fade->GetMachine().currentState().alpha, 200);
  EXPECT_EQ(LayeredAlpha(fade->GetSafeHwnd()), 255);  // hovered

  owner_.received.clear();
  auto slide = MakePopup(2, 256, 255);
  ASSERT_TRUE(slide->Show(owner_.hwnd()));
  TicksWhile(*slide, 296, kExpanding);
  Tick(*slide, 304);
  for (int i = 0; i < 5; ++i) Tick(*slide, 297);
  const RECT out = WindowRect(slide->GetSafeHwnd());
  EXPECT_GT(out.top, 866);
  ::SendMessageW(slide->GetSafeHwnd(), WM_MOUSEMOVE, 0, At(5, 5));
  EXPECT_EQ(slide->GetPopupState(), kExpanding);
  EXPECT_EQ(TicksWhile(*slide, 296, kExpanding), 5);  // as many steps back as it went out
  EXPECT_TRUE((WindowRect(slide->GetSafeHwnd()) == Rect{951, 866, 1280, 994}));
  EXPECT_EQ(States(), (std::vector<int>{kExpanding, kShowing, kCollapsing, kExpanding, kShowing}));
}

class PopupClickTest : public PopupWindowTest {
 protected:
  void SetUp() override {
    popup_ = MakePopup(0, 256, 255);
    ASSERT_TRUE(popup_->Show(owner_.hwnd()));
    hwnd_ = popup_->GetSafeHwnd();
    owner_.received.clear();
  }
  void Press(int x, int y) { ::SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
  void Move(int x, int y) { ::SendMessageW(hwnd_, WM_MOUSEMOVE, MK_LBUTTON, At(x, y)); }
  void Release(int x, int y) { ::SendMessageW(hwnd_, WM_LBUTTONUP, 0, At(x, y)); }

  std::unique_ptr<CPopupControl> popup_;
  HWND hwnd_ = nullptr;
};

TEST_F(PopupClickTest, ReleaseOnThePressedItemClicksIt) {
  Move(60, 80);
  Press(60, 80);
  EXPECT_EQ(popup_->GetPressedItem()->id, -3);
  EXPECT_EQ(::GetCapture(), hwnd_);
  Release(60, 80);
  EXPECT_EQ(owner_.received, (std::vector<Notification>{{ItemClicked, -1, -3}}));
  EXPECT_EQ(popup_->GetPressedItem(), nullptr);
  EXPECT_NE(::GetCapture(), hwnd_);
}

TEST_F(PopupClickTest, ReleaseOutsideThePressedItemGivesNoClick) {
  Move(60, 80);
  Press(60, 80);
  Move(200, 20);
  EXPECT_EQ(popup_->GetHotItem(), nullptr);  // another item under a held button is not hot
  Move(60, 80);
  EXPECT_EQ(popup_->GetHotItem()->id, -3);
  Move(200, 20);
  Release(200, 20);
  EXPECT_TRUE(owner_.received.empty());
}

TEST_F(PopupClickTest, CloseItemClosesWithoutAClick) {
  Move(310, 20);
  Press(310, 20);
  Release(310, 20);
  EXPECT_EQ(owner_.received, (std::vector<Notification>{{StateChanged, kClosed, 0}}));
  EXPECT_FALSE(::IsWindow(hwnd_));
}

TEST_F(PopupClickTest, InertItemDragsOnlyWhenMovingIsAllowed) {
  Move(20, 110);
  Press(20, 110);
  Release(20, 110);
  EXPECT_EQ(owner_.received, (std::vector<Notification>{{ItemClicked, -1, 0}}));

  owner_.received.clear();
  popup_->AllowMove(TRUE);
  ::PostMessageW(hwnd_, WM_LBUTTONUP, 0, At(20, 110));  // ends the drag loop at once
  Press(20, 110);
  EXPECT_EQ(owner_.received, (std::vector<Notification>{{PositionChanged, kShowing, 0}}));
  EXPECT_EQ(popup_->GetPopupPos().x, 1280);
  EXPECT_EQ(popup_->GetPopupPos().y, 994);

  owner_.received.clear();
  Move(60, 80);
  Press(60, 80);  // a button is no drag handle
  Release(60, 80);
  EXPECT_EQ(owner_.received, (std::vector<Notification>{{ItemClicked, -1, -3}}));
}

TEST_F(PopupClickTest, PressDuringExpansionFinishesItFirst) {
  auto popup = MakePopup(1, 500);
  ASSERT_TRUE(popup->Show(owner_.hwnd()));
  Tick(*popup, 296);
  ::SendMessageW(popup->GetSafeHwnd(), WM_MOUSEMOVE, 0, At(60, 80));
  ::SendMessageW(popup->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(60, 80));
  EXPECT_EQ(popup->GetPopupState(), kShowing);
  EXPECT_EQ(popup->GetMachine().currentState().alpha, 200);
  ::SendMessageW(popup->GetSafeHwnd(), WM_LBUTTONUP, 0, At(60, 80));
  EXPECT_EQ(owner_.received, (std::vector<Notification>{{StateChanged, kExpanding, 0},
                                                        {StateChanged, kShowing, 0},
                                                        {ItemClicked, -1, -3}}));
}

TEST_F(PopupClickTest, OwnerMayDestroyThePopupInsideItsNotifications) {
  CPopupControl* raw = popup_.release();
  owner_.onNotify = [&](WPARAM code, LPARAM data) {
    if (code == StateChanged && reinterpret_cast<CPopupControl*>(data)->GetPopupState() == kClosed)
      delete reinterpret_cast<CPopupControl*>(data);
  };
  Move(310, 20);
  Press(310, 20);
  Release(310, 20);  // closes; the owner deletes the popup inside the report
  EXPECT_FALSE(::IsWindow(hwnd_));

  // Deleted while collapsing, from inside the show-delay tick.
  auto* collapsing = MakePopup(1, 256).release();
  owner_.onNotify = [&](WPARAM code, LPARAM data) {
    if (code == StateChanged && reinterpret_cast<CPopupControl*>(data)->GetPopupState() == kCollapsing)
      delete reinterpret_cast<CPopupControl*>(data);
  };
  ASSERT_TRUE(collapsing->Show(owner_.hwnd()));
  const HWND window = collapsing->GetSafeHwnd();
  for (int i = 0; i < 16; ++i) ::SendMessageW(window, WM_TIMER, 296, 0);
  ::SendMessageW(window, WM_TIMER, 304, 0);
  EXPECT_FALSE(::IsWindow(window));
  ::SendMessageW(window, WM_TIMER, 297, 0);  // a late tick to a window that is gone
  (void)raw;
}

TEST_F(PopupClickTest, DestroyedWhileUpClosesQuietly) {
  Move(60, 80);
  Press(60, 80);
  popup_.reset();
  EXPECT_FALSE(::IsWindow(hwnd_));
  EXPECT_TRUE(owner_.received.empty());
  EXPECT_NE(::GetCapture(), hwnd_);
}

TEST_F(PopupClickTest, ShowOnlyFromClosedAndCloseOnlyWithAWindow) {
  EXPECT_FALSE(popup_->Show(owner_.hwnd()));  // already showing
  EXPECT_TRUE(popup_->Close());
  EXPECT_FALSE(popup_->Close());
  EXPECT_EQ(popup_->GetPopupState(), kClosed);
  EXPECT_TRUE(popup_->Show(owner_.hwnd()));  // a new window
  EXPECT_NE(popup_->GetSafeHwnd(), hwnd_);
}

}  // namespace
}  // namespace zandle::popup
