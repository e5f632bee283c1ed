// A survey dragged with the display's pointer (xdotool on the X display): the button
// goes down on an empty part, the pointer moves, the button comes up; the next survey
// starts where the dragged one was dropped. It moves the one pointer of the display,
// so it runs only as its own serial test (ZANDLE_REAL_INPUT=1).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "popup/popup_screen.h"
#include "survey/zandle_demo_dlg.h"
#include "survey/zandle_ex.h"
#include "host_test_support.h"
#include "real_input.h"

namespace zandle::survey {
namespace {

using testing::PumpUntil;
using testing::StartXdotool;

TEST(HostRealInput, DraggedSurveySetsTheNextAnchor) {
  const char* enabled = std::getenv("ZANDLE_REAL_INPUT");
  if (!enabled || std::string(enabled) != "1") GTEST_SKIP() << "moves the display's pointer: run serially";

  testing::Screen screen;
  popup::test::ScopedScreenQueries scope(screen);
  testing::FakeClient client;
  CZandleDemoDlg host(client);
  ASSERT_TRUE(host.Create());
  host.showDelay = 30000;  // stays while the pointer works, hovered or not
  host.ShowSurveyPopup(nullptr);
  CZandleEx* first = host.popups.back();
  ASSERT_TRUE(PumpUntil([&] { return first->GetPopupState() == 2; }, 5000)) << "never fully shown";
  RECT shown{};
  ::GetWindowRect(first->GetSafeHwnd(), &shown);
  ASSERT_EQ(shown.right, 1280);
  ASSERT_EQ(shown.bottom, 994);

  // (20, 110) in the popup holds no item: pressing there drags.
  const int x = shown.left + 20, y = shown.top + 110;
  const std::string steps = "mousemove " + std::to_string(x) + " " + std::to_string(y) +
                            " sleep 0.3 mousedown 1 sleep 0.3 mousemove " + std::to_string(x - 150) + " " +
                            std::to_string(y - 100) + " sleep 0.2 mousemove " + std::to_string(x - 300) + " " +
                            std::to_string(y - 200) + " sleep 0.3 mouseup 1";
  ASSERT_TRUE(StartXdotool(steps));
  ASSERT_TRUE(PumpUntil([&] { return host.popupAnchor.x == 980 && host.popupAnchor.y == 794; }, 10000))
      << "anchor after the drag: " << host.popupAnchor.x << "," << host.popupAnchor.y;
  RECT dropped{};
  ::GetWindowRect(first->GetSafeHwnd(), &dropped);
  EXPECT_EQ(dropped.left, shown.left - 300);
  EXPECT_EQ(dropped.top, shown.top - 200);
  EXPECT_TRUE(client.reported.empty());

  first->Close();
  ASSERT_TRUE(host.popups.empty());
  host.ShowSurveyPopup(nullptr);
  CZandleEx* second = host.popups.back();
  EXPECT_EQ(second->GetAnchorPoint().x, 980);
  EXPECT_EQ(second->GetAnchorPoint().y, 794);
  // Away from the popups, for whatever runs next on the display.
  StartXdotool("mousemove 10 10");
  ::Sleep(300);
}

}  // namespace
}  // namespace zandle::survey
