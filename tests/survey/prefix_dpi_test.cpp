// The survey in a Wine prefix whose display is set to ZANDLE_DPI (96, 120, 144 or 192), as
// a DPI-aware host shows it: the system's DPI, fonts and work area, no screen of the
// test's own, and the display's pointer (xdotool). It moves the one pointer, so each DPI
// runs as its own serial test. Photographs of the screen go to build/win32/dpi-pictures.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "dpi_support.h"
#include "host_test_support.h"
#include "picture_file.h"
#include "popup/core/dpi_scale.h"
#include "real_input.h"
#include "survey/zandle_ex.h"
#include "surface.h"

namespace zandle::survey {
namespace {

using testing::Centre;
using testing::PumpUntil;
using testing::StartXdotool;

// Before any window or DC: the host declares itself aware, as most current tools do.
const bool kDpiAware = ::SetProcessDPIAware() != FALSE;

int PrefixDpi() {
  const char* value = std::getenv("ZANDLE_DPI");
  return value ? std::atoi(value) : 0;
}

RECT WorkArea() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

RECT WindowRect(CZandleEx* popup) {
  RECT r{};
  ::GetWindowRect(popup->GetSafeHwnd(), &r);
  return r;
}

std::string Arg(LONG x, LONG y) { return std::to_string(x) + " " + std::to_string(y); }

// A photograph of the screen around `r` to build/win32/dpi-pictures/NAME.png, for a person.
void Photograph(const RECT& r, const std::string& name) {
  const std::string dir = ZANDLE_SCREENSHOT_DIR;
  ::CreateDirectoryW((L"Z:" + std::wstring(dir.begin(), dir.end())).c_str(), nullptr);
  const std::string path = dir + "/" + name + ".png";
  const std::wstring windowsPath = L"Z:" + std::wstring(path.begin(), path.end());
  ::DeleteFileW(windowsPath.c_str());
  const LONG m = 16, w = r.right - r.left + 2 * m, h = r.bottom - r.top + 2 * m;
  testing::StartUnixProgram("/usr/bin/import -window root -crop " + std::to_string(w) + "x" + std::to_string(h) +
                            "+" + std::to_string(r.left - m) + "+" + std::to_string(r.top - m) + " +repage " + path);
  // Done once the file stops growing.
  LONG last = -1;
  PumpUntil(
      [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(windowsPath.c_str(), GetFileExInfoStandard, &data)) return false;
        const LONG size = static_cast<LONG>(data.nFileSizeLow);
        const bool settled = size > 0 && size == last;
        last = size;
        if (!settled) ::Sleep(100);
        return settled;
      },
      10000);
}

class SurveyInPrefix : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* enabled = std::getenv("ZANDLE_REAL_INPUT");
    if (!enabled || std::string(enabled) != "1") GTEST_SKIP() << "moves the display's pointer: run serially";
    expected_ = testing::ExpectedAt(PrefixDpi());
    ASSERT_NE(expected_, nullptr) << "ZANDLE_DPI names no DPI the survey is checked at";
    ASSERT_TRUE(kDpiAware);
    ASSERT_TRUE(host_.Create());
    host_.showDelay = 30000;  // stays while the pointer works, hovered or not
  }
  void TearDown() override {
    StartXdotool("mousemove 5 5");  // away from the popups, for what runs next
    ::Sleep(300);
  }
  // A survey, fully shown.
  CZandleEx* Show(int* levelOut = nullptr) {
    host_.ShowSurveyPopup(levelOut);
    if (host_.popups.empty()) return nullptr;
    CZandleEx* popup = host_.popups.back();
    if (!PumpUntil([&] { return popup->GetPopupState() == 2; }, 5000)) return nullptr;
    return popup;
  }
  // A real click at a point of the popup's client area.
  static bool ClickAt(CZandleEx* popup, POINT at) {
    const RECT r = WindowRect(popup);
    return StartXdotool("mousemove " + Arg(r.left + at.x, r.top + at.y) + " sleep 0.2 click 1");
  }

  const testing::Expected* expected_ = nullptr;
  testing::FakeClient client_;
  testing::RecordingHost host_{client_};
};

TEST_F(SurveyInPrefix, WindowItemsAndTextAtTheDisplaysDpi) {
  const testing::Expected& e = *expected_;
  const HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), e.dpi) << "the prefix's DPI";
  ::ReleaseDC(nullptr, screen);

  CZandleEx* first = Show();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetDpi(), e.dpi);
  const RECT work = WorkArea(), shown = WindowRect(first);
  EXPECT_EQ(shown.right, work.right);
  EXPECT_EQ(shown.bottom, work.bottom);
  EXPECT_EQ(shown.right - shown.left, e.size.cx);
  EXPECT_EQ(shown.bottom - shown.top, e.size.cy);
  EXPECT_TRUE(::EqualRect(&first->GetItem(3)->itemRect, &e.firstLevel));
  EXPECT_TRUE(::EqualRect(&first->GetItem(2)->itemRect, &e.link));
  EXPECT_TRUE(::EqualRect(&first->GetItem(6)->itemRect, &e.close));
  Photograph(shown, "survey-dpi" + std::to_string(e.dpi));

  // The text, in the system's own fonts at this DPI, fits its items and the popup.
  drawing::testing::Surface surface(e.size.cx, e.size.cy);
  first->PaintPopup(surface.dc(), e.size);
  popup::testing::SavePicture(surface, "survey-prefix-dpi" + std::to_string(e.dpi));
  const COLORREF text = first->GetPaintManager().textColor, link = RGB(32, 32, 255);
  for (int i : {0, 1}) EXPECT_EQ(testing::CutPixels(surface, first->GetItem(i)->itemRect, text), 0) << i;
  EXPECT_EQ(testing::CutPixels(surface, e.link, link), 0) << "link";
  for (int i : {3, 4, 5})
    EXPECT_EQ(testing::CutPixels(surface, first->GetItem(i)->itemRect, testing::kLevelCaptionInk), 0) << i;
  EXPECT_GT(testing::TextPixels(surface, first->GetItem(1)->itemRect, text), 100);
  EXPECT_GT(testing::TextPixels(surface, e.link, link), 10);
  EXPECT_LE(testing::CaptionLinesBottom(surface.dc(), *first->GetItem(0), 1), first->GetItem(0)->itemRect.bottom);
  EXPECT_LE(testing::CaptionLinesBottom(surface.dc(), *first->GetItem(1), 2), first->GetItem(1)->itemRect.bottom);
  EXPECT_LE(testing::CaptionLinesBottom(surface.dc(), *first->GetItem(2), 1), e.size.cy);

  // Stacked: each next one a scaled step up, wholly on the screen.
  CZandleEx* second = Show();
  CZandleEx* third = Show();
  ASSERT_NE(second, nullptr);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(WindowRect(second).bottom, shown.top);
  EXPECT_EQ(WindowRect(third).bottom, shown.top - e.size.cy);
  EXPECT_EQ(WindowRect(third).right, work.right);
  Photograph({shown.left, shown.top - 2 * e.size.cy, shown.right, shown.bottom},
             "stack-dpi" + std::to_string(e.dpi));
}

TEST_F(SurveyInPrefix, RealClicksAtTheScaledPlaces) {
  int levels[3] = {};
  for (int n = 0; n < 3; ++n) {
    CZandleEx* popup = Show(&levels[n]);
    ASSERT_NE(popup, nullptr);
    const RECT level = popup->GetItem(3 + n)->itemRect;
    if (n == 0) {
      EXPECT_TRUE(::EqualRect(&level, &expected_->firstLevel));
    }
    ASSERT_TRUE(ClickAt(popup, Centre(level)));
    EXPECT_TRUE(PumpUntil([&] { return levels[n] != 0; }, 5000)) << "level " << n + 1 << " not clicked";
    EXPECT_EQ(levels[n], n + 1);
    PumpUntil([&] { return host_.popups.empty(); }, 5000);
  }
  EXPECT_EQ(client_.reported, (std::vector<int>{1, 2, 3}));

  CZandleEx* popup = Show();
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(ClickAt(popup, Centre(expected_->link)));
  EXPECT_TRUE(PumpUntil([&] { return host_.popups.empty(); }, 5000)) << "link not clicked";
  EXPECT_EQ(host_.opened, std::vector<std::wstring>{client_.link});

  popup = Show();
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(ClickAt(popup, Centre(expected_->close)));
  EXPECT_TRUE(PumpUntil([&] { return host_.popups.empty(); }, 5000)) << "close not clicked";
  EXPECT_EQ(client_.reported.size(), 3u);
}

TEST_F(SurveyInPrefix, RealDragStopsAtTheWorkArea) {
  CZandleEx* popup = Show();
  ASSERT_NE(popup, nullptr);
  const RECT shown = WindowRect(popup), work = WorkArea();
  // An empty part of the popup (20, 110 in layout pixels), dragged past the top-left corner.
  const int dpi = expected_->dpi;
  const LONG x = shown.left + popup::ScaleEdge(20, dpi), y = shown.top + popup::ScaleEdge(110, dpi);
  ASSERT_EQ(popup->HitTest({x - shown.left, y - shown.top}), nullptr);
  ASSERT_TRUE(StartXdotool("mousemove " + Arg(x, y) + " sleep 0.3 mousedown 1 sleep 0.3 mousemove " +
                           Arg(x / 2, y / 2) + " sleep 0.2 mousemove 0 0 sleep 0.3 mouseup 1"));
  const LONG cx = expected_->size.cx, cy = expected_->size.cy;
  EXPECT_TRUE(PumpUntil(
      [&] { return host_.popupAnchor.x == work.left + cx && host_.popupAnchor.y == work.top + cy; }, 10000))
      << "anchor after the drag: " << host_.popupAnchor.x << "," << host_.popupAnchor.y;
  const RECT dropped = WindowRect(popup);
  EXPECT_EQ(dropped.left, work.left);
  EXPECT_EQ(dropped.top, work.top);
  EXPECT_EQ(dropped.right - dropped.left, cx);
  Photograph(dropped, "dragged-dpi" + std::to_string(dpi));
  EXPECT_TRUE(client_.reported.empty());
}

// Dragged onto a monitor of another DPI, a per-monitor aware host's popup gets
// WM_DPICHANGED in the middle of the drag (sent here from a timer the drag loop runs):
// it lays itself out anew, and the rest of the drag keeps the new size.
struct DpiChangeDuringDrag {
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (sent || ::GetCapture() != window) return;
    sent = true;
    ::KillTimer(nullptr, id);
    RECT now{};
    ::GetWindowRect(window, &now);
    const RECT suggested{now.left, now.top, now.left + size.cx, now.top + size.cy};
    constexpr UINT kDpiChanged = 0x02E0;
    ::SendMessageW(window, kDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  }
  static inline HWND window = nullptr;
  static inline int dpi = 0;
  static inline SIZE size{};
  static inline bool sent = false;
};

TEST_F(SurveyInPrefix, RealDragOntoAnotherDpiKeepsItsNewSize) {
  CZandleEx* popup = Show();
  ASSERT_NE(popup, nullptr);
  const testing::Expected& to = *testing::ExpectedAt(expected_->dpi == 192 ? 96 : 192);
  DpiChangeDuringDrag::window = popup->GetSafeHwnd();
  DpiChangeDuringDrag::dpi = to.dpi;
  DpiChangeDuringDrag::size = to.size;
  DpiChangeDuringDrag::sent = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &DpiChangeDuringDrag::OnTimer);
  ASSERT_NE(timer, 0u);

  const RECT shown = WindowRect(popup), work = WorkArea();
  const LONG x = shown.left + popup::ScaleEdge(20, expected_->dpi), y = shown.top + popup::ScaleEdge(110, expected_->dpi);
  ASSERT_TRUE(StartXdotool("mousemove " + Arg(x, y) + " sleep 0.3 mousedown 1 sleep 0.5 mousemove " +
                           Arg(x - 100, y - 100) + " sleep 0.5 mousemove " + Arg(x - 200, y - 150) +
                           " sleep 0.3 mouseup 1"));
  const LONG left = std::min(shown.left - 200, work.right - to.size.cx);
  const LONG top = std::min(shown.top - 150, work.bottom - to.size.cy);
  EXPECT_TRUE(PumpUntil([&] { return host_.popupAnchor.x == left + to.size.cx && ::GetCapture() == nullptr; }, 10000))
      << "anchor after the drag: " << host_.popupAnchor.x << "," << host_.popupAnchor.y;
  ::KillTimer(nullptr, timer);
  EXPECT_TRUE(DpiChangeDuringDrag::sent);
  EXPECT_EQ(popup->GetDpi(), to.dpi);
  const RECT dropped = WindowRect(popup);
  EXPECT_EQ(dropped.left, left);
  EXPECT_EQ(dropped.top, top);
  EXPECT_EQ(dropped.right - dropped.left, to.size.cx);
  EXPECT_EQ(dropped.bottom - dropped.top, to.size.cy);
  EXPECT_TRUE(::EqualRect(&popup->GetItem(3)->itemRect, &to.firstLevel));
  Photograph(dropped, "dpi-change-from-dpi" + std::to_string(expected_->dpi));
}

}  // namespace
}  // namespace zandle::survey
