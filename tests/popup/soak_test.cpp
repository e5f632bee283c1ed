// A thousand survey popups shown, animated to the end by their own timer messages and
// deleted by their owner when they report the closed state: no window, no timer, no
// handle and no memory may stay behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

#include "popup_test_support.h"
#include "survey/survey_layout.h"
#include "popup_windows.h"

namespace zandle::popup {
namespace {

using zandle::popup::testing::PopupWindowsOfThisProcess;

constexpr const wchar_t* kPopupClass = zandle::popup::testing::kPopupWindowClass;
constexpr int kPopups = 1000;
constexpr int kFirstBatch = 100;
// Growth allowed between popup 100 and popup 1000. Committed private pages (heaps, DIB
// sections) stay flat to the page when nothing leaks; 256 KiB over 900 popups is under
// 300 bytes each, less than one leaked popup object or one item with its caption (a
// leaked off-screen buffer alone is 168 KB). The process counter also holds Wine's own
// font and X caches, which move by a few hundred KB: 2 MiB, some 2 KB a popup.
constexpr SIZE_T kCommittedSlack = 256 * 1024;
constexpr SIZE_T kProcessSlack = 2 * 1024 * 1024;

// Counts closed reports and deletes the popup there, as the survey host does.
struct Owner {
  int closed = 0;
  int lastState = -1;
  HWND window = nullptr;

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Owner*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == PopupNotifyMessage && wParam == StateChanged) {
      auto* popup = reinterpret_cast<CPopupControl*>(lParam);
      self->lastState = popup->GetPopupState();
      if (self->lastState == static_cast<int>(PopupState::Closed)) {
        ++self->closed;
        delete popup;
      }
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  Owner() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Owner::Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZandleSoakOwner";
    ::RegisterClassW(&windowClass);
    window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Owner() { ::DestroyWindow(window); }
};

BOOL CALLBACK CountPopupWindow(HWND window, LPARAM counter) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (std::wcscmp(name, kPopupClass) == 0) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int PopupWindowsOfThisThread() {
  int count = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), &CountPopupWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Dispatches what is waiting; returns the timer messages that were for other windows
// than `owner` (a popup that is gone must have none).
int PumpCountingStrayTimers(HWND owner) {
  int stray = 0;
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_TIMER && msg.hwnd != owner) ++stray;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return stray;
}

// Committed private pages, walked with VirtualQuery: the heaps, DIB sections and every
// other allocation of the Windows side of the process (exact under Wine as well).
SIZE_T CommittedPrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info{};
  for (auto* address = static_cast<const char*>(nullptr); ::VirtualQuery(address, &info, sizeof(info)) == sizeof(info);
       address = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < address) break;  // wrapped
  }
  return total;
}

// The system's count for the whole process: private bytes on Windows (PrivateUsage is 0
// under Wine, whose PagefileUsage holds the data size of the process).
SIZE_T ProcessPrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

long Growth(SIZE_T before, SIZE_T after) { return static_cast<long>(after) - static_cast<long>(before); }

class SoakTest : public ::testing::Test {
 protected:
  // One survey popup from creation to deletion by the owner; false when a step failed.
  bool OneCycle(int index) {
    auto* popup = new CPopupControl;
    survey::LayoutSurvey(*popup, L"ZandleDemo-Soak", L"https://example.com/survey");
    popup->SetPopupSize({survey::kSurveyWidth, survey::kSurveyHeight});
    popup->SetAnimation(1 + index % 3);  // fade, slide, unfold
    popup->SetTransparency(200);
    // One step each way: a window's life costs some 6 ms under Wine, a frame 1 ms.
    popup->SetAnimationDelay(16);
    popup->SetStepInterval(16);
    popup->SetShowDelay(10);
    const int closedBefore = owner_.closed;
    if (!popup->Show(owner_.window)) {
      delete popup;
      return false;
    }
    const HWND window = popup->GetSafeHwnd();
    // The state comes from the owner's reports: the popup is gone after the last one.
    for (int tick = 0; tick < 16 && owner_.closed == closedBefore; ++tick) {
      const int state = owner_.lastState;
      const UINT_PTR id = state == static_cast<int>(PopupState::Expanding) ? TimerExpanding
                          : state == static_cast<int>(PopupState::Showing) ? TimerShowDelay
                                                                            : TimerCollapsing;
      ::SendMessageW(window, WM_TIMER, id, 0);
    }
    return owner_.closed == closedBefore + 1 && !::IsWindow(window);
  }

  testing::KnownColors colors_;
  testing::ScopedKnownColors scope_{colors_};
  Owner owner_;
};

TEST_F(SoakTest, AThousandPopupsLeaveNoWindowTimerHandleOrMemory) {
  ASSERT_TRUE(owner_.window);
  const testing::GdiCounts handlesBefore = testing::GdiCounts::Now();
  int failed = 0, strayTimers = 0;
  SIZE_T committedAtFirst = 0, processAtFirst = 0;
  for (int i = 0; i < kPopups; ++i) {
    if (!OneCycle(i)) ++failed;
    if (i % 50 == 49) strayTimers += PumpCountingStrayTimers(owner_.window);
    if (i == kFirstBatch - 1) {
      committedAtFirst = CommittedPrivateBytes();
      processAtFirst = ProcessPrivateBytes();
    }
  }
  ::Sleep(40);  // past two step periods: a timer left running would now be due
  strayTimers += PumpCountingStrayTimers(owner_.window);
  const SIZE_T committedAtEnd = CommittedPrivateBytes(), processAtEnd = ProcessPrivateBytes();
  std::printf("memory growth from popup %d to %d: committed private %ld bytes, process %ld bytes\n", kFirstBatch,
              kPopups, Growth(committedAtFirst, committedAtEnd), Growth(processAtFirst, processAtEnd));

  EXPECT_EQ(failed, 0);
  EXPECT_EQ(owner_.closed, kPopups) << "every popup reports the closed state";
  EXPECT_EQ(strayTimers, 0);
  EXPECT_EQ(PopupWindowsOfThisThread(), 0);
  EXPECT_EQ(PopupWindowsOfThisProcess(), 0);
  EXPECT_EQ(testing::GdiCounts::Now(), handlesBefore);
  EXPECT_LE(Growth(committedAtFirst, committedAtEnd), static_cast<long>(kCommittedSlack));
  EXPECT_LE(Growth(processAtFirst, processAtEnd), static_cast<long>(kProcessSlack));
}

}  // namespace
}  // namespace zandle::popup
