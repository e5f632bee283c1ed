#include "surface.h"

#include <cstdlib>

#include "drawing/win_theme_wrapper.h"

namespace zandle::drawing::testing {

Surface::Surface(int width, int height, COLORREF fill, bool bottomUp)
    : width_(width), height_(height), bottomUp_(bottomUp) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, bottomUp ? height : -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  dc_ = ::CreateCompatibleDC(nullptr);
  bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<std::uint32_t*>(bits);
  previous_ = ::SelectObject(dc_, bitmap_);
  Fill(fill);
}

Surface::~Surface() {
  ::SelectObject(dc_, previous_);
  ::DeleteObject(bitmap_);
  ::DeleteDC(dc_);
}

void Surface::Fill(COLORREF color) {
  ::GdiFlush();
  const std::uint32_t v = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
  for (int i = 0; i < width_ * height_; ++i) bits_[i] = v;
}

std::uint32_t* Surface::Row(int y) const {
  ::GdiFlush();
  return bits_ + static_cast<size_t>(bottomUp_ ? height_ - 1 - y : y) * width_;
}

COLORREF Surface::Pixel(int x, int y) const {
  const std::uint32_t v = Row(y)[x];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

BYTE Surface::Alpha(int x, int y) const { return static_cast<BYTE>(Row(y)[x] >> 24); }

std::uint32_t Surface::Hash() const {
  std::uint32_t h = 2166136261u;
  for (int y = 0; y < height_; ++y) {
    const std::uint32_t* p = Row(y);
    for (int x = 0; x < width_; ++x) h = (h ^ (p[x] & 0x00FFFFFF)) * 16777619u;
  }
  return h;
}

HBITMAP MakeArgbBitmap(int width, int height, const std::vector<std::uint32_t>& argb) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* p = static_cast<std::uint32_t*>(bits);
  for (size_t i = 0; i < argb.size() && i < static_cast<size_t>(width * height); ++i) p[i] = argb[i];
  return bitmap;
}

HBITMAP MakeSolidArgbBitmap(int width, int height, std::uint32_t argb) {
  return MakeArgbBitmap(width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height, argb));
}

HICON MakeIcon(int width, int height, COLORREF color, BYTE alpha, bool halfTransparent) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
  std::vector<BYTE> mask(static_cast<size_t>((width + 15) / 16 * 2) * height, 0);
  const int stride = (width + 15) / 16 * 2;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool transparent = halfTransparent && x >= width / 2;
      pixels[static_cast<size_t>(y) * width + x] =
          transparent ? 0u
                      : (static_cast<std::uint32_t>(alpha) << 24) | (GetRValue(color) << 16) |
                            (GetGValue(color) << 8) | GetBValue(color);
      if (transparent) mask[static_cast<size_t>(y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    }
  HBITMAP colorBitmap = MakeArgbBitmap(width, height, pixels);
  HBITMAP maskBitmap = ::CreateBitmap(width, height, 1, 1, mask.data());
  ICONINFO info{TRUE, 0, 0, maskBitmap, colorBitmap};
  HICON icon = ::CreateIconIndirect(&info);
  ::DeleteObject(colorBitmap);
  ::DeleteObject(maskBitmap);
  return icon;
}

GdiCounts GdiCounts::Now() {
  return {fw::UniqueBitmap::LiveCount(), fw::UniqueMemoryDC::LiveCount(), fw::UniqueIcon::LiveCount(),
          fw::UniqueBrush::LiveCount(),  fw::UniquePen::LiveCount(),      fw::UniqueWindowDC::LiveCount(),
          fw::UniqueFont::LiveCount(),   fw::UniqueImageList::LiveCount(), fw::UniqueRegion::LiveCount(),
          UniqueTheme::LiveCount()};
}

int MaxChannelDifference(COLORREF a, COLORREF b) {
  const int dr = std::abs(GetRValue(a) - GetRValue(b)), dg = std::abs(GetGValue(a) - GetGValue(b)),
            db = std::abs(GetBValue(a) - GetBValue(b));
  return dr > dg ? (dr > db ? dr : db) : (dg > db ? dg : db);
}

}  // namespace zandle::drawing::testing
