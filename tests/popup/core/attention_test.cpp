#include <gtest/gtest.h>

#include "popup/core/attention.h"

namespace zandle::popup {
namespace {

TEST(ShowDelay, TheUsersNotificationDurationRaisesThePreset) {
  EXPECT_EQ(ShowDelayFor(3000, std::nullopt), 3000u);  // no setting: the preset
  EXPECT_EQ(ShowDelayFor(3000, 5u), 5000u);            // Windows' default
  EXPECT_EQ(ShowDelayFor(3000, 30u), 30000u);
  EXPECT_EQ(ShowDelayFor(3000, 10u), 10000u);
  // A shorter setting never cuts the preset.
  EXPECT_EQ(ShowDelayFor(3000, 2u), 3000u);
  EXPECT_EQ(ShowDelayFor(3000, 0u), 3000u);
  EXPECT_EQ(ShowDelayFor(600000, 5u), 600000u);
  // 4294967295 s is far past what a timer takes: 0x7FFFFFFF ms.
  EXPECT_EQ(ShowDelayFor(3000, 0xFFFFFFFFu), 0x7FFFFFFFu);
  EXPECT_EQ(ShowDelayFor(0xFFFFFFFFu, std::nullopt), 0x7FFFFFFFu);
  EXPECT_EQ(ShowDelayFor(3000, 2147483u), 2147483000u);
  EXPECT_EQ(ShowDelayFor(3000, 2147484u), 0x7FFFFFFFu);
}

TEST(Busy, TheShellsAnswerDecidesWhereItHasOne) {
  EXPECT_EQ(DecideBusy(1, std::nullopt), BusyReason::Away);
  EXPECT_EQ(DecideBusy(2, std::nullopt), BusyReason::FullScreen);
  EXPECT_EQ(DecideBusy(3, std::nullopt), BusyReason::Direct3D);
  EXPECT_EQ(DecideBusy(4, std::nullopt), BusyReason::Presenting);
  EXPECT_EQ(DecideBusy(5, std::nullopt), BusyReason::None);
  EXPECT_EQ(DecideBusy(6, std::nullopt), BusyReason::QuietTime);
  EXPECT_EQ(DecideBusy(7, std::nullopt), BusyReason::App);
  // Numbers the shell may add later cannot tell.
  EXPECT_EQ(DecideBusy(0, std::nullopt), BusyReason::None);
  EXPECT_EQ(DecideBusy(8, std::nullopt), BusyReason::None);
  EXPECT_EQ(DecideBusy(-1, std::nullopt), BusyReason::None);
}

TEST(Busy, AFullScreenForegroundWindowCountsWhereTheShellCannotTell) {
  const Rect monitor{0, 0, 1280, 1024};
  const ForegroundWindow full{{0, 0, 1280, 1024}, monitor, false};
  const ForegroundWindow larger{{-8, -8, 1288, 1032}, monitor, false};  // a maximised frame's borders
  const ForegroundWindow shortByOne{{0, 0, 1280, 1023}, monitor, false};
  const ForegroundWindow narrowByOne{{1, 0, 1280, 1024}, monitor, false};
  const ForegroundWindow shell{{0, 0, 1280, 1024}, monitor, true};
  for (const std::optional<int> state : {std::optional<int>{}, std::optional<int>{5}, std::optional<int>{0}}) {
    EXPECT_EQ(DecideBusy(state, full), BusyReason::FullScreen);
    EXPECT_EQ(DecideBusy(state, larger), BusyReason::FullScreen);
    EXPECT_EQ(DecideBusy(state, shortByOne), BusyReason::None);
    EXPECT_EQ(DecideBusy(state, narrowByOne), BusyReason::None);
    EXPECT_EQ(DecideBusy(state, shell), BusyReason::None);  // the desktop covers its monitor too
    EXPECT_EQ(DecideBusy(state, std::nullopt), BusyReason::None);
  }
  // The shell's own reason wins over the window's.
  EXPECT_EQ(DecideBusy(4, full), BusyReason::Presenting);
  // A second monitor's window is measured against its own monitor.
  const ForegroundWindow second{{1280, 0, 3200, 1080}, {1280, 0, 3200, 1080}, false};
  EXPECT_EQ(DecideBusy(std::nullopt, second), BusyReason::FullScreen);
  // No monitor (an empty rectangle) covers nothing.
  const ForegroundWindow noMonitor{{0, 0, 1280, 1024}, {0, 0, 0, 0}, false};
  EXPECT_EQ(DecideBusy(std::nullopt, noMonitor), BusyReason::None);
}

}  // namespace
}  // namespace zandle::popup
