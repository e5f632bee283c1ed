// The survey popup's animation. First one frame as its timer delivers it: move and size
// (0x654), invalidate, layered alpha, update, and the paint through the kept off-screen
// buffer, against a bare copy of a buffer of that size to the same window. Then a whole
// fade in, hold and fade out driven by the message loop and real timers: the wall time
// against the nominal one, and the CPU time the thread spends against the wall time.
// Both at 96 DPI and with the survey laid out at 120, 144 and 192 DPI.
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <vector>

#include "bench_compare.h"
#include "drawing/offscreen_buffer.h"
#include "framework/gdi_handles.h"
#include "popup/core/dpi_scale.h"
#include "popup/popup_control.h"
#include "survey/survey_layout.h"

namespace {

using namespace zandle;
using popup::CPopupControl;
using popup::PopupState;

constexpr int kFade = 1;
constexpr int kTransparency = 200;  // the survey's
constexpr int kCycles = 4;
constexpr unsigned kFadeMs = 256, kHoldMs = 500;
constexpr int kDpis[] = {96, 120, 144, 192};

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

SIZE SurveySize(int dpi) {
  const popup::Size size = popup::ScaleSize({survey::kSurveyWidth, survey::kSurveyHeight}, dpi);
  return {size.cx, size.cy};
}

void MakeSurvey(CPopupControl& popup, int dpi) {
  survey::LayoutSurvey(popup, L"ZandleDemo-Print", L"https://example.com/survey");
  popup.ScaleLayout(dpi);
  popup.SetPopupSize(SurveySize(dpi));
  popup.SetAnimation(kFade);
  popup.SetTransparency(kTransparency);
}

// One frame per call; the fade is so slow that every frame moves the alpha by one, and
// it starts over from 0 when it has arrived (that restart is a frame as well).
double CompareFrame(int dpi) {
  const int width = SurveySize(dpi).cx, height = SurveySize(dpi).cy;
  CPopupControl popup;
  MakeSurvey(popup, dpi);
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
  const fw::UniqueBitmap buffer(::CreateCompatibleBitmap(dc, width, height));
  const fw::ScopedSelectObject select(memory.get(), buffer.get());

  const auto bare = [&] {
    ::BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
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
  char what[64];
  std::snprintf(what, sizeof(what), "timer step of the survey fade, %dx%d", width, height);
  std::printf("\n%d DPI\n%-44s %-14s %12s   %-14s %12s\n", dpi, "", "baseline", "", "candidate", "");
  const double ratio = bench::Compare(what, 50, bare, "bare copy", frame, "frame");
  Pump();

  // Where the time goes: each part of the step on its own.
  RECT rect{};
  ::GetWindowRect(window, &rect);
  bench::Compare("  move and size, same rectangle (0x654)", 50, bare, "bare copy", [&] {
    ::SetWindowPos(window, nullptr, rect.left, rect.top, width, height,
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
      drawing::CBufferDC paint(dc, RECT{0, 0, width, height}, kept);
      popup.PaintPopup(paint, SIZE{width, height});
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

struct CycleFigures {
  double wallOverNominal, cpuShare;
};

CycleFigures MeasureCycles(int dpi) {
  CPopupControl popup;
  MakeSurvey(popup, dpi);
  popup.SetAnimationDelay(kFadeMs);
  popup.SetStepInterval(16);
  popup.SetShowDelay(kHoldMs);
  std::printf("\n%d DPI: fade in 256 ms, hold 500 ms, fade out 256 ms, real timers:\n", dpi);
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
  if (ratios.empty()) return {0, 0};
  // Wine counts CPU time in 10 ms ticks: the sum over the cycles is the steadier figure.
  const double nominal = (2 * kFadeMs + kHoldMs) * 1e-3 * static_cast<double>(ratios.size());
  std::printf("  median thread CPU / wall %.3f; all cycles: thread CPU / wall %.3f, process CPU / wall %.3f,"
              " %.2f ms thread CPU a frame; wall / nominal %.3f\n",
              bench::Median(ratios), total.threadCpu / total.wall, total.processCpu / total.wall,
              total.frames ? total.threadCpu * 1e3 / total.frames : 0.0, total.wall / nominal);
  return {total.wall / nominal, total.threadCpu / total.wall};
}

}  // namespace

int main() {
  ::SetCursorPos(0, 0);  // a popup under the pointer would hold and stay opaque
  for (int dpi : {96, 192}) {
    const double ratio = CompareFrame(dpi);
    if (ratio <= 0) return 1;
    std::printf("target: a frame at most 3.00 x the bare copy -> %s (%.2f)\n", ratio <= 3.0 ? "met" : "NOT met",
                ratio);
  }
  CycleFigures figures[std::size(kDpis)];
  for (size_t i = 0; i < std::size(kDpis); ++i) figures[i] = MeasureCycles(kDpis[i]);
  std::printf("\n");
  for (size_t i = 0; i < std::size(kDpis); ++i) {
    const CycleFigures& f = figures[i];
    std::printf("target %3d DPI: a cycle within 1.03 x its nominal time -> %s (%.3f); under 5 %% of a core -> %s"
                " (%.1f %%)\n",
                kDpis[i], f.wallOverNominal > 0 && f.wallOverNominal <= 1.03 ? "met" : "NOT met", f.wallOverNominal,
                f.wallOverNominal > 0 && f.cpuShare < 0.05 ? "met" : "NOT met", f.cpuShare * 100);
  }
  return 0;
}
