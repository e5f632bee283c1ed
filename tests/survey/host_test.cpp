#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>
#include <vector>

#include "popup/popup_item.h"
#include "popup/popup_screen.h"
#include "survey/zandle_demo_dlg.h"
#include "survey/zandle_ex.h"
#include "host_test_support.h"

namespace zandle::survey {
namespace {

using testing::FakeClient;
using testing::RecordingHost;
using testing::Screen;

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Create()); }
  CZandleEx* Show(int* levelOut = nullptr) {
    host_.ShowSurveyPopup(levelOut);
    return host_.popups.back();
  }
  static RECT Rect(CZandleEx* popup) {
    RECT r{};
    ::GetWindowRect(popup->GetSafeHwnd(), &r);
    return r;
  }
  static void Click(CZandleEx* popup, int x, int y) {
    const HWND window = popup->GetSafeHwnd();
    ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  bool ControlsEnabled() const { return ::IsWindowEnabled(::GetDlgItem(host_.hwnd(), 1005)) != FALSE; }

  Screen screen_;
  popup::test::ScopedScreenQueries screenScope_{screen_};
  FakeClient client_;
  RecordingHost host_{client_};
};

TEST_F(HostTest, HiddenWindowWithTheSurveyPreset) {
  EXPECT_FALSE(::IsWindowVisible(host_.hwnd()));
  EXPECT_EQ(host_.layoutIndex, 2);
  EXPECT_EQ(host_.animationKind, popup::AnimationKind::Fade);
  EXPECT_EQ(host_.animationDelay, 500u);
  EXPECT_EQ(host_.showDelay, 3000u);
  EXPECT_TRUE(host_.allowMove);
  EXPECT_EQ(::SendDlgItemMessageW(host_.hwnd(), 1006, TBM_GETPOS, 0, 0), 200);
  EXPECT_EQ(::SendDlgItemMessageW(host_.hwnd(), 1005, CB_GETCOUNT, 0, 0), 10);
  EXPECT_EQ(::SendDlgItemMessageW(host_.hwnd(), 1002, CB_GETCURSEL, 0, 0), 1);
  // The about entry is swallowed; the preset selector applies its row.
  EXPECT_EQ(::SendMessageW(host_.hwnd(), WM_SYSCOMMAND, 0x10, 0), 0);
  ::SendDlgItemMessageW(host_.hwnd(), 1005, CB_SETCURSEL, 3, 0);
  ::SendMessageW(host_.hwnd(), WM_COMMAND, MAKEWPARAM(1005, CBN_SELCHANGE), 0);
  EXPECT_EQ(host_.layoutIndex, 3);
  EXPECT_EQ(host_.animationKind, popup::AnimationKind::Slide);
  EXPECT_EQ(host_.animationDelay, 350u);
  EXPECT_EQ(::SendDlgItemMessageW(host_.hwnd(), 1006, TBM_GETPOS, 0, 0), 255);
}

TEST_F(HostTest, AboutCommandIsSwallowedAndOthersGoToDefaultHandling) {
  // Asked of the dialog procedure itself: TRUE is handled, FALSE default handling. What
  // the window manager does by default for an unknown command cannot be seen.
  const auto procedure = reinterpret_cast<DLGPROC>(::GetWindowLongPtrW(host_.hwnd(), DWLP_DLGPROC));
  ASSERT_NE(procedure, nullptr);
  for (const WPARAM about : {0x10, 0x13, 0x1F})
    EXPECT_EQ(procedure(host_.hwnd(), WM_SYSCOMMAND, about, 0), TRUE) << about;
  for (const WPARAM other : {0x00, 0x20, 0x110, SC_KEYMENU})
    EXPECT_EQ(procedure(host_.hwnd(), WM_SYSCOMMAND, other, 0), FALSE) << other;
  EXPECT_TRUE(::IsWindow(host_.hwnd()));
}

TEST_F(HostTest, SurveyPopupTakesItsOptionsAndDisablesTheControls) {
  CZandleEx* popup = Show();
  EXPECT_EQ(popup->GetPopupSize().cx, 329);
  EXPECT_EQ(popup->GetPopupSize().cy, 128);
  EXPECT_EQ(popup->GetTransparency(), 200);
  EXPECT_EQ(popup->GetMachine().animationKind(), popup::AnimationKind::Fade);
  EXPECT_EQ(popup->GetMachine().animationDelay(), 500u);
  EXPECT_EQ(popup->GetMachine().showDelay(), 3000u);
  EXPECT_TRUE(popup->IsMoveAllowed());
  EXPECT_EQ(popup->GetNotifyWindow(), host_.hwnd());
  EXPECT_EQ(popup->GetItemCount(), 7);
  EXPECT_EQ(popup->GetItem(0)->caption, L"Bridge-Print");
  EXPECT_EQ(static_cast<popup::CHyperLinkPopupItem*>(popup->GetItem(2))->linkAddress, client_.link);
  EXPECT_EQ(popup->GetPopupState(), 1);
  const RECT r = Rect(popup);
  EXPECT_EQ(r.right, 1280);
  EXPECT_EQ(r.bottom, 994);
  EXPECT_FALSE(ControlsEnabled());
}

TEST_F(HostTest, SecondSurveyStacksOnTheFirst) {
  CZandleEx* first = Show();
  CZandleEx* second = Show();
  EXPECT_EQ(second->GetAnchorPoint().x, 1280);
  EXPECT_EQ(second->GetAnchorPoint().y, 994 - 128);
  EXPECT_EQ(Rect(second).bottom, Rect(first).top);
  EXPECT_EQ(host_.popups.size(), 2u);
}

TEST_F(HostTest, LevelClickReportsWritesAndCloses) {
  int levels[3] = {0, 0, 0};
  const int centres[3] = {85, 170, 255};
  for (int n = 0; n < 3; ++n) {
    CZandleEx* popup = Show(&levels[n]);
    const HWND window = popup->GetSafeHwnd();
    Click(popup, centres[n], 82);
    EXPECT_EQ(levels[n], n + 1);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(host_.popups.empty());
    EXPECT_TRUE(ControlsEnabled());
  }
  EXPECT_EQ(client_.reported, (std::vector<int>{1, 2, 3}));
}

TEST_F(HostTest, CloseButtonAndTimeOutReportNothing) {
  int level = 0;
  CZandleEx* popup = Show(&level);
  Click(popup, 316, 22);
  EXPECT_TRUE(host_.popups.empty());

  popup = Show(&level);
  const HWND window = popup->GetSafeHwnd();
  for (int i = 0; i < 40 && ::IsWindow(window); ++i) ::SendMessageW(window, WM_TIMER, 296, 0);
  ::SendMessageW(window, WM_TIMER, 304, 0);
  for (int i = 0; i < 40 && ::IsWindow(window); ++i) ::SendMessageW(window, WM_TIMER, 297, 0);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_EQ(level, 0);
  EXPECT_TRUE(client_.reported.empty());
}

TEST_F(HostTest, PressWithoutMoveKeepsTheAnchor) {
  CZandleEx* first = Show();
  ::PostMessageW(first->GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(20, 110));
  ::SendMessageW(first->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 110));  // inert area
  EXPECT_EQ(host_.popupAnchor.x, 1280);
  EXPECT_EQ(host_.popupAnchor.y, 994);
}

TEST_F(HostTest, LinkClosesWithoutAReport) {
  int level = 0;
  CZandleEx* popup = Show(&level);
  Click(popup, 250, 110);
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_EQ(level, 0);
  EXPECT_TRUE(client_.reported.empty());
  EXPECT_EQ(host_.opened, std::vector<std::wstring>{client_.link});
}

TEST_F(HostTest, EmptyLinkOpensNothing) {
  client_.link = L"";
  int level = 0;
  Click(Show(&level), 250, 110);
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_TRUE(host_.opened.empty());
  EXPECT_EQ(level, 0);
}

TEST_F(HostTest, EachPopupReportsItsOwnFunction) {
  client_.function = L"Print";
  CZandleEx* print = Show();
  client_.function = L"\u4fdd\u5b58";  // 保存
  CZandleEx* save = Show();
  client_.function = L"Export";  // the latest request, whose popup is not clicked
  CZandleEx* exportPopup = Show();
  Click(print, 85, 82);
  Click(save, 255, 82);
  EXPECT_EQ(client_.reported, (std::vector<int>{1, 3}));
  EXPECT_EQ(client_.reportedFunctions, (std::vector<std::wstring>{L"Print", L"\u4fdd\u5b58"}));
  EXPECT_EQ(exportPopup->GetItem(0)->caption, L"Bridge-Export");
  EXPECT_EQ(host_.popups.size(), 1u);
}

TEST_F(HostTest, StackNeverLeavesTheWorkAreaAndTheRestWaits) {
  // 994 / 128: seven fit, one above another; the eighth would reach y = -30.
  int levels[12] = {};
  for (int i = 0; i < 12; ++i) host_.ShowSurveyPopup(&levels[i]);
  ASSERT_EQ(host_.popups.size(), 7u);
  EXPECT_EQ(host_.queued.size(), CZandleDemoDlg::kMaxQueued);
  for (CZandleEx* p : host_.popups) {
    const RECT r = Rect(p);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.bottom, 994);
  }
  EXPECT_EQ(Rect(host_.popups.back()).top, 994 - 7 * 128);

  // The fourth from the bottom closes: the first waiting one takes its place.
  CZandleEx* fourth = *std::next(host_.popups.begin(), 3);
  const RECT gap = Rect(fourth);
  Click(fourth, 316, 22);
  ASSERT_EQ(host_.popups.size(), 7u);
  EXPECT_EQ(host_.queued.size(), CZandleDemoDlg::kMaxQueued - 1);
  CZandleEx* shown = host_.popups.back();
  EXPECT_EQ(Rect(shown).top, gap.top);
  EXPECT_EQ(Rect(shown).bottom, gap.bottom);
  Click(shown, 170, 82);  // the eighth survey's level goes to the eighth caller
  EXPECT_EQ(levels[7], 2);
  EXPECT_EQ(client_.reported, std::vector<int>{2});

  // Closing the rest shows each waiting one; the twelfth was never shown: nothing for it.
  for (int guard = 0; guard < 20 && !host_.popups.empty(); ++guard) Click(host_.popups.front(), 316, 22);
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_TRUE(host_.queued.empty());
  EXPECT_EQ(levels[11], 0);
  EXPECT_EQ(client_.reported, std::vector<int>{2});
  EXPECT_TRUE(ControlsEnabled());
}

TEST_F(HostTest, HostWindowDestroyedWithPopupsUpLeavesNoGhosts) {
  int level = 0;
  Show(&level);
  Show(&level);
  ASSERT_EQ(host_.popups.size(), 2u);
  host_.DestroyWindow();
  EXPECT_TRUE(host_.popups.empty());
  ASSERT_TRUE(host_.Create());
  CZandleEx* next = Show(&level);
  EXPECT_EQ(next->GetAnchorPoint().x, 1280);
  EXPECT_EQ(next->GetAnchorPoint().y, 994);  // at the corner again
  EXPECT_EQ(host_.popups.size(), 1u);
  Click(next, 85, 82);
  EXPECT_TRUE(ControlsEnabled());
  EXPECT_EQ(level, 1);
}

TEST_F(HostTest, PopupWhoseWindowIsGoneLeavesTheList) {
  CZandleEx* first = Show();
  ::DestroyWindow(first->GetSafeHwnd());  // gone without a close of its own
  CZandleEx* next = Show();
  EXPECT_EQ(host_.popups.size(), 1u);
  EXPECT_EQ(next->GetAnchorPoint().y, 994);
  Click(next, 316, 22);
  EXPECT_TRUE(ControlsEnabled());
}

// The drop-down button's press shows menu 159, owned by the host.
UINT g_firstMenuCommand = 0;
LRESULT CALLBACK EndMenuOnInit(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_INITMENUPOPUP) {
    g_firstMenuCommand = ::GetMenuItemID(reinterpret_cast<HMENU>(wParam), 0);
    ::EndMenu();
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(HostTest, MoreButtonDropsDownMenu159) {
  const HWND button = ::GetDlgItem(host_.hwnd(), 1008);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(::SetWindowSubclass(host_.hwnd(), EndMenuOnInit, 1, 0));
  g_firstMenuCommand = 0;
  ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ::RemoveWindowSubclass(host_.hwnd(), EndMenuOnInit, 1);
  EXPECT_EQ(g_firstMenuCommand, 32771u);  // "RTF Sample"
}

TEST(HostLifetime, DestroyedWithPopupsStillOpen) {
  Screen screen;
  popup::test::ScopedScreenQueries scope(screen);
  FakeClient client;
  std::vector<HWND> windows;
  {
    CZandleDemoDlg host(client);
    ASSERT_TRUE(host.Create());
    for (int i = 0; i < 3; ++i) {
      host.ShowSurveyPopup(nullptr);
      windows.push_back(host.popups.back()->GetSafeHwnd());
    }
  }
  for (HWND w : windows) EXPECT_FALSE(::IsWindow(w));
}

}  // namespace
}  // namespace zandle::survey
