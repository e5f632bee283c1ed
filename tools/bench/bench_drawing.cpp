// Times the drawing layer's stand-ins against the platform functions they replace,
// interleaved round by round in one run, and prints the ratio of the medians.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_compare.h"
#include "drawing/alpha_blend.h"
#include "drawing/draw_helpers.h"
#include "drawing/entry_points.h"
#include "drawing/image_manager.h"

namespace {

using namespace zandle::drawing;

using zandle::bench::Compare;
using zandle::bench::kRounds;
using zandle::bench::Now;

struct Dib {
  Dib(int w, int h, bool premultipliedPattern) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    dc = ::CreateCompatibleDC(nullptr);
    bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = ::SelectObject(dc, bitmap);
    auto* p = static_cast<DWORD*>(bits);
    for (int i = 0; i < w * h; ++i) {
      const DWORD a = premultipliedPattern ? (i * 7) % 256 : 255;
      const DWORD c = (i * 13) % 256 * a / 255;
      p[i] = (a << 24) | (c << 16) | (c / 2 << 8) | (255 - c) * a / 255;
    }
  }
  ~Dib() {
    ::SelectObject(dc, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ previous;
};

void BenchBlend(int w, int h, int repeat) {
  Dib source(w, h, true), target(w, h, false);
  const RECT r{0, 0, w, h};
  char label[64];
  std::snprintf(label, sizeof(label), "alpha blend %d x %d", w, h);
  Compare(
      label, repeat, [&] { BlendAlphaBitmap(target.dc, r, source.dc, r); }, "AlphaBlend",
      [&] { BlendAlphaBitmapEmulated(target.dc, r, source.dc, r); }, "emulation");
}

void BenchGradient(bool horizontal) {
  Dib target(329, 128, false);
  const RECT r{0, 0, 329, 128};
  const COLORREF from = RGB(214, 231, 252), to = RGB(168, 198, 238);
  Compare(
      horizontal ? "gradient 329 x 128, horizontal" : "gradient 329 x 128, vertical", 50,
      [&] { FillGradientSystem(target.dc, r, from, to, horizontal); }, "GradientFill",
      [&] { FillGradientBands(target.dc, r, from, to, horizontal); }, "bands");
}

void BenchIcons() {
  // A classic 16 x 16 icon: blue colour bitmap, left half opaque.
  Dib color(16, 16, false);
  BYTE mask[16 * 2];
  for (int row = 0; row < 16; ++row) mask[row * 2] = 0x00, mask[row * 2 + 1] = 0xFF;
  const HBITMAP maskBitmap = ::CreateBitmap(16, 16, 1, 1, mask);
  ::SelectObject(color.dc, color.previous);
  ICONINFO info{TRUE, 0, 0, maskBitmap, color.bitmap};
  const HICON icon = ::CreateIconIndirect(&info);
  ::SelectObject(color.dc, color.bitmap);
  ::DeleteObject(maskBitmap);
  Dib target(320, 16, false);
  auto run = [&](bool useStrips) {
    CImageManager* manager = new CImageManager;
    manager->useStrips = useStrips;
    CImageManagerIconImage image(icon, true);
    for (UINT id = 1; id <= 1000; ++id) manager->SetIcon(image, id, {16, 16}, kImageNormal);
    for (UINT id = 1; id <= 1000; ++id)
      if (CImageManagerIcon* registered = manager->GetImage(id, 16))
        registered->Draw(target.dc, {static_cast<int>(id % 20) * 16, 0});
    manager->InternalRelease();
  };
  Compare(
      "1,000 icons 16 x 16: register and draw", 1, [&] { run(false); }, "own handles", [&] { run(true); }, "strips");
  ::DestroyIcon(icon);
}

}  // namespace

// With an argument, runs only the sections whose names start with it ("blend",
// "gradient", "icons").
int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  auto wanted = [&](const char* section) { return only.empty() || std::string(section).rfind(only, 0) == 0; };
  std::printf("Drawing benchmark: medians of %d interleaved rounds; ratio = right / left\n\n", kRounds);
  if (!GetDrawHelpers().AlphaBlendEntry() || !GetDrawHelpers().GradientFillEntry()) {
    std::printf("msimg32.dll entry points missing: nothing to compare with\n");
    return 1;
  }
  if (wanted("blend")) {
    BenchBlend(329, 128, 20);
    BenchBlend(32, 32, 500);
  }
  if (wanted("gradient")) {
    BenchGradient(true);
    BenchGradient(false);
  }
  if (wanted("icons")) BenchIcons();
  return 0;
}
