// One paint of the survey popup (329 x 128, seven items, Office 2003 look) through the
// off-screen buffer out to a window, against a bare copy of a buffer of that size; then
// the survey laid out at 192 DPI (658 x 256) against it at 96.
#include <windows.h>

#include <cstdio>

#include "bench_compare.h"
#include "drawing/offscreen_buffer.h"
#include "framework/gdi_handles.h"
#include "popup/core/dpi_scale.h"
#include "popup/popup_control.h"
#include "popup/popup_item.h"
#include "survey/survey_layout.h"

namespace {

using namespace zandle;

constexpr int kWidth = survey::kSurveyWidth, kHeight = survey::kSurveyHeight;
constexpr int kHighDpi = 192;

HWND CreateTarget() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ZandleBenchPopupTarget";
  ::RegisterClassW(&windowClass);
  const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, windowClass.lpszClassName, L"", WS_POPUP,
                                        20, 20, popup::ScaleEdge(kWidth, kHighDpi), popup::ScaleEdge(kHeight, kHighDpi),
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
  ::UpdateWindow(window);
  return window;
}

}  // namespace

int main() {
  const HWND window = CreateTarget();
  if (!window) {
    std::fprintf(stderr, "bench_popup: no window (is there a display?)\n");
    return 1;
  }
  const fw::UniqueWindowDC target = fw::GetWindowDC(window);
  const HDC dc = target.get().dc;

  popup::CPopupControl popup;
  survey::LayoutSurvey(popup, L"ZandleDemo-Print", L"https://example.com/survey");
  popup.SetHotItem(popup.GetItem(3));
  const RECT client{0, 0, kWidth, kHeight};

  const fw::UniqueMemoryDC memory(::CreateCompatibleDC(dc));
  const fw::UniqueBitmap buffer(::CreateCompatibleBitmap(dc, kWidth, kHeight));
  const fw::ScopedSelectObject select(memory.get(), buffer.get());

  drawing::COffscreenBuffer kept;  // the popup keeps its buffer between paints
  std::printf("%-44s %-14s %12s   %-14s %12s\n", "", "baseline", "", "candidate", "");
  const double ratio = bench::Compare(
      "survey paint vs bare buffer copy, 329x128", 200,
      [&] {
        ::BitBlt(dc, 0, 0, kWidth, kHeight, memory.get(), 0, 0, SRCCOPY);
        ::GdiFlush();
      },
      "bare copy",
      [&] {
        {
          drawing::CBufferDC paint(dc, client, kept);
          popup.PaintPopup(paint, SIZE{kWidth, kHeight});
        }
        ::GdiFlush();
      },
      "survey paint");
  // Where the time goes.
  const auto bare = [&] {
    ::BitBlt(dc, 0, 0, kWidth, kHeight, memory.get(), 0, 0, SRCCOPY);
    ::GdiFlush();
  };
  bench::Compare("  buffer made and copied, nothing drawn", 200, bare, "bare copy", [&] {
    { drawing::CBufferDC paint(dc, client); }
    ::GdiFlush();
  }, "new buffer");
  bench::Compare("  kept buffer copied, nothing drawn", 200, bare, "bare copy", [&] {
    { drawing::CBufferDC paint(dc, client, kept); }
    ::GdiFlush();
  }, "kept buffer");
  const HDC keptDC = kept.Prepare(dc, SIZE{kWidth, kHeight});
  bench::Compare("  background into the kept buffer", 200, bare, "bare copy", [&] {
    popup.GetPaintManager().DrawPopupBackground(keptDC, client);
    ::GdiFlush();
  }, "background");
  for (int i = 0; i < popup.GetItemCount(); ++i) {
    char what[64];
    std::snprintf(what, sizeof(what), "  item %d into the kept buffer", i + 1);
    bench::Compare(what, 200, bare, "bare copy", [&] {
      popup.GetItem(i)->Draw(keptDC);
      ::GdiFlush();
    }, "item");
  }
  std::printf("target: at most 3.00 -> %s\n", ratio <= 3.0 ? "met" : "NOT met");

  // The same survey laid out at 192 DPI: four times the pixels, pictures drawn for 200 %.
  popup::CPopupControl high;
  survey::LayoutSurvey(high, L"ZandleDemo-Print", L"https://example.com/survey");
  high.ScaleLayout(kHighDpi);
  high.SetHotItem(high.GetItem(3));
  const popup::Size highSize = popup::ScaleSize({kWidth, kHeight}, kHighDpi);
  const RECT highClient{0, 0, highSize.cx, highSize.cy};
  drawing::COffscreenBuffer keptHigh;
  std::printf("\n");
  const double highRatio = bench::Compare(
      "survey paint at 192 DPI vs at 96 DPI", 200,
      [&] {
        {
          drawing::CBufferDC paint(dc, client, kept);
          popup.PaintPopup(paint, SIZE{kWidth, kHeight});
        }
        ::GdiFlush();
      },
      "96 DPI",
      [&] {
        {
          drawing::CBufferDC paint(dc, highClient, keptHigh);
          high.PaintPopup(paint, SIZE{highSize.cx, highSize.cy});
        }
        ::GdiFlush();
      },
      "192 DPI");
  std::printf("target: a 192-DPI paint at most 4.00 x the 96-DPI paint -> %s (%.2f)\n",
              highRatio <= 4.0 ? "met" : "NOT met", highRatio);
  ::DestroyWindow(window);
  return 0;
}
