// How long a survey stays: never shorter than the user's notification duration.
#include <gtest/gtest.h>
#include <windows.h>

#include "popup/desktop_settings.h"
#include "popup/popup_screen.h"
#include "survey/zandle_demo_dlg.h"
#include "survey/zandle_ex.h"
#include "host_test_support.h"

namespace zandle::survey {
namespace {

using testing::FakeClient;
using testing::Screen;

class ShowDelayTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Create()); }
  unsigned ShownDelay() {
    host_.ShowSurveyPopup(nullptr);
    return host_.popups.back()->GetMachine().showDelay();
  }

  Screen screen_;
  popup::test::ScopedScreenQueries screenScope_{screen_};
  FakeClient client_;
  CZandleDemoDlg host_{client_};
};

TEST_F(ShowDelayTest, TheUsersSettingRaisesThePresetWhereThereIsOne) {
  {
    popup::test::ScopedMessageDuration none(std::nullopt);
    EXPECT_EQ(ShownDelay(), 3000u);
  }
  {
    popup::test::ScopedMessageDuration windowsDefault(5u);
    EXPECT_EQ(ShownDelay(), 5000u);
  }
  {
    popup::test::ScopedMessageDuration thirty(30u);
    EXPECT_EQ(ShownDelay(), 30000u);
  }
  {
    popup::test::ScopedMessageDuration shorter(1u);
    EXPECT_EQ(ShownDelay(), 3000u);
  }
}

// Runs the thread's message loop, where the popup's own timers run, until the thread
// timer of `ms` fires.
void RunMessagesFor(UINT ms) {
  const UINT_PTR mark = ::SetTimer(nullptr, 0, ms, nullptr);
  ASSERT_NE(mark, 0u);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == mark) break;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::KillTimer(nullptr, mark);
}

TEST_F(ShowDelayTest, TenSecondsOfNotificationKeepTheSurveyUpNineAndGoneByTwelve) {
  popup::test::ScopedMessageDuration ten(10u);
  host_.ShowSurveyPopup(nullptr);
  const HWND window = host_.popups.back()->GetSafeHwnd();
  ASSERT_TRUE(::IsWindowVisible(window));
  RunMessagesFor(9000);
  EXPECT_TRUE(::IsWindow(window) && ::IsWindowVisible(window)) << "gone before 9 s";
  EXPECT_EQ(host_.popups.size(), 1u);
  // Fade in 500 ms, 10 s shown, fade out 500 ms: closed at about 11 s.
  RunMessagesFor(3000);
  EXPECT_FALSE(::IsWindow(window)) << "still up at 12 s";
  EXPECT_TRUE(host_.popups.empty());
  EXPECT_TRUE(client_.reported.empty());
}

}  // namespace
}  // namespace zandle::survey
