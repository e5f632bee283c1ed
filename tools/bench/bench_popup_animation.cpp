// The survey popup's animation. First one frame as its timer delivers it: move and size
// (0x654), invalidate, layered alpha, update, and the paint through the kept off-screen
// buffer, against a bare copy of a buffer of that size to the same window. Then a whole
// fade in, hold and fade out driven by the message loop and real timers: the CPU time
// the thread spends against the wall time the cycle takes.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "bench_compare.h"
#include "drawing/offscreen_buffer.h"
#include "framework/gdi_handles.h"
#include "popup/popup_control.h"
#include "survey/survey_layout.h"

namespace {

using namespace zandle;
using popup::CPopupControl;
using popup::PopupState;

constexpr int kWidth = survey::kSurveyWidth, kHeight = survey::kSurveyHeight;
constexpr int kFade = 1;
constexpr int kTransparency = 200;  // the survey's
constexpr int kCycles = 6;

double Seconds(const FILETIME& t) {
  return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
}

double ThreadCpu() {
  FILETIME created, exited, kernel, user;
  ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
  return Seconds(kernel) + Seconds(user);
}

double ProcessCpu() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Seconds(kernel) + Seconds(user);
}

void Pump() {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

void MakeSurvey(CPopupControl& popup) {
  survey::LayoutSurvey(popup, L"ZandleDemo-Print", L"https://example.com/survey");
  popup.SetPopupSize({kWidth, kHeight});
  popup.SetAnimation(kFade);
  popup.SetTransparency(kTransparency);
}

// One frame per call; the fade is so slow that every frame moves the alpha by one, and
// it starts over from 0 when it has arrived (that restart is a frame as well).
double CompareFrame() {
  CPopupControl popup;
  MakeSurvey(popup);
  popup.SetAnimationDelay(0x7FFFFFF0u);
  popup.SetShowDelay(0);
  if (!popup.Show(nullptr)) {
    std::fprintf(stderr, "bench_popup_animation: no popup window (is there a display?)\n");
    return 0;
  }
  const HWND window = popup.GetSafeHwnd();
  Pump();
  const fw::UniqueWindowDC target = fw::GetWindowDC(window);
  const HDC dc = target.get().dc;
  const fw::UniqueMemoryDC memory(::CreateCompatibleDC(dc));
  const fw::UniqueBitmap buffer(::CreateCompatibleBitmap(dc, kWidth, kHeight));
  const fw::ScopedSelectObject select(memory.get(), buffer.get());

  const auto bare = [&] {
    ::BitBlt(dc, 0, 0, kWidth, kHeight, memory.get(), 0, 0, SRCCOPY);
    ::GdiFlush();
  };
  const auto frame = [&] {
    const auto& machine = popup.GetMachine();
    if (machine.currentState().alpha == machine.targetState().alpha) {
      popup.BeginExpanding(TRUE);
    } else {
      ::SendMessageW(window, WM_TIMER, popup::TimerExpanding, 0);
    }
    ::GdiFlush();
  };
  std::printf("%-44s %-14s %12s   %-14s %12s\n", "", "baseline", "", "candidate", "");
  const double ratio = bench::Compare("timer step of the survey fade, 329x128", 50, bare, "bare copy", frame, "frame");
  Pump();

  // Where the time goes: each part of the step on its own.
  RECT rect{};
  ::GetWindowRect(window, &rect);
  bench::Compare("  move and size, same rectangle (0x654)", 50, bare, "bare copy", [&] {
    ::SetWindowPos(window, nullptr, rect.left, rect.top, kWidth, kHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  }, "move");
  BYTE alpha = 0;
  bench::Compare("  layered alpha, a new value each time", 50, bare, "bare copy", [&] {
    ::SetLayeredWindowAttributes(window, 0, alpha = static_cast<BYTE>((alpha + 1) % kTransparency), LWA_ALPHA);
  }, "alpha");
  bench::Compare("  invalidate and update (the paint)", 50, bare, "bare copy", [&] {
    ::InvalidateRect(window, nullptr, FALSE);
    ::UpdateWindow(window);
    ::GdiFlush();
  }, "paint");
  drawing::COffscreenBuffer kept;
  bench::Compare("  survey paint through a kept buffer", 50, bare, "bare copy", [&] {
    {
      drawing::CBufferDC paint(dc, RECT{0, 0, kWidth, kHeight}, kept);
      popup.PaintPopup(paint, SIZE{kWidth, kHeight});
    }
    ::GdiFlush();
  }, "survey paint");
  Pump();
  return ratio;
}

struct Cycle {
  double wall, threadCpu, processCpu;
  int frames;
};

// Show, then the message loop until the popup has closed itself.
Cycle RunCycle(CPopupControl& popup) {
  Cycle cycle{};
  const UINT_PTR guard = ::SetTimer(nullptr, 0, 5000, nullptr);  // wakes the loop if the popup stalls
  const double wall = bench::Now(), thread = ThreadCpu(), process = ProcessCpu();
  if (!popup.Show(nullptr)) return cycle;
  const HWND window = popup.GetSafeHwnd();
  MSG msg{};
  while (popup.GetPopupState() != static_cast<int>(PopupState::Closed) && bench::Now() - wall < 5 &&
         ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam != popup::TimerShowDelay) ++cycle.frames;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  cycle.wall = bench::Now() - wall;
  cycle.threadCpu = ThreadCpu() - thread;
  cycle.processCpu = ProcessCpu() - process;
  ::KillTimer(nullptr, guard);
  return cycle;
}

void MeasureCycles() {
  CPopupControl popup;
  MakeSurvey(popup);
  popup.SetAnimationDelay(256);
  popup.SetStepInterval(16);
  popup.SetShowDelay(500);
  std::printf("\nfade in 256 ms, hold 500 ms, fade out 256 ms, real timers:\n");
  std::vector<double> ratios;
  Cycle total{};
  for (int i = 0; i < kCycles; ++i) {
    const Cycle c = RunCycle(popup);
    if (c.wall <= 0) {
      std::printf("  cycle %d: the popup did not show\n", i + 1);
      continue;
    }
    ratios.push_back(c.threadCpu / c.wall);
    total.wall += c.wall;
    total.threadCpu += c.threadCpu;
    total.processCpu += c.processCpu;
    total.frames += c.frames;
    std::printf("  cycle %d: wall %6.0f ms, %2d frames, thread CPU %5.1f ms (%4.1f ms a frame), process CPU %5.1f ms;"
                " thread CPU / wall %.3f\n",
                i + 1, c.wall * 1e3, c.frames, c.threadCpu * 1e3, c.frames ? c.threadCpu * 1e3 / c.frames : 0.0,
                c.processCpu * 1e3, c.threadCpu / c.wall);
  }
  if (ratios.empty()) return;
  // Wine counts CPU time in 10 ms ticks: the sum over the cycles is the steadier figure.
  std::printf("  median thread CPU / wall %.3f; all cycles: thread CPU / wall %.3f, process CPU / wall %.3f,"
              " %.2f ms thread CPU a frame\n",
              bench::Median(ratios), total.threadCpu / total.wall, total.processCpu / total.wall,
              total.frames ? total.threadCpu * 1e3 / total.frames : 0.0);
}

}  // namespace

int main() {
  ::SetCursorPos(0, 0);  // a popup under the pointer would hold and stay opaque
  const double ratio = CompareFrame();
  if (ratio <= 0) return 1;
  std::printf("target: a frame at most 3.00 x the bare copy -> %s (%.2f)\n", ratio <= 3.0 ? "met" : "NOT met", ratio);
  MeasureCycles();
  return 0;
}
