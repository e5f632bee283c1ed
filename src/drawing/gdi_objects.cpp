#include "drawing/gdi_objects.h"

namespace zandle::drawing {
namespace {

struct FailureInjection {
  bool active = false;
  int failAt = -1;
  int attempts = 0;
};

FailureInjection& Injection() noexcept {
  static FailureInjection injection;
  return injection;
}

// True when this creation is to fail.
bool InjectedFailure() noexcept {
  FailureInjection& f = Injection();
  if (!f.active) return false;
  return f.attempts++ == f.failAt;
}

constexpr WORD kBitsPerPixel = 32;

}  // namespace

fw::UniqueMemoryDC CreateMemoryDC(HDC reference) noexcept {
  if (InjectedFailure()) return {};
  return fw::UniqueMemoryDC(::CreateCompatibleDC(reference));
}

fw::UniqueBitmap Create32BppDIBSection(HDC dc, int width, int height, BYTE** bits) noexcept {
  if (bits) *bits = nullptr;
  if (width <= 0 || height <= 0 || InjectedFailure()) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = kBitsPerPixel;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  fw::UniqueBitmap bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (bitmap && bits) *bits = static_cast<BYTE*>(pixels);
  return bitmap;
}

fw::UniqueBitmap CreateMonochromeBitmap(int width, int height) noexcept {
  if (width <= 0 || height <= 0 || InjectedFailure()) return {};
  return fw::UniqueBitmap(::CreateBitmap(width, height, 1, 1, nullptr));
}

fw::UniqueBitmap CreateCompatibleBitmapChecked(HDC dc, int width, int height) noexcept {
  if (!dc || InjectedFailure()) return {};
  return fw::UniqueBitmap(::CreateCompatibleBitmap(dc, width, height));
}

fw::UniqueIcon CreateIconChecked(ICONINFO& info) noexcept {
  if (InjectedFailure()) return {};
  return fw::UniqueIcon(::CreateIconIndirect(&info));
}

fw::UniqueFont CreateFontChecked(const LOGFONTW& description) noexcept {
  if (InjectedFailure()) return {};
  return fw::UniqueFont(::CreateFontIndirectW(&description));
}

fw::UniqueIcon CopyIconChecked(HICON icon) noexcept {
  if (!icon || InjectedFailure()) return {};
  return fw::UniqueIcon(::CopyIcon(icon));
}

namespace test {

ScopedGdiFailure::ScopedGdiFailure(int failAt) noexcept { Injection() = {true, failAt, 0}; }
ScopedGdiFailure::~ScopedGdiFailure() { Injection() = {}; }
int ScopedGdiFailure::Attempts() const noexcept { return Injection().attempts; }

}  // namespace test
}  // namespace zandle::drawing
