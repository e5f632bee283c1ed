#include "drawing/offscreen_buffer.h"

#include "drawing/gdi_objects.h"

namespace zandle::drawing {
namespace {

constexpr int kTrueColorBits = 24;

// COffscreenBuffer keeps its bitmap selected across paints, longer than one scope.
HGDIOBJ SelectInto(HDC dc, HGDIOBJ object) noexcept {
  if (!dc || !object) return nullptr;
  const HGDIOBJ previous = ::SelectObject(dc, object);
  return previous == HGDI_ERROR ? nullptr : previous;
}

}  // namespace

HDC COffscreenBuffer::Prepare(HDC target, SIZE size) noexcept {
  // No device query when the buffer fits: Wine answers GetDeviceCaps in ~50 us, and a
  // buffer of another depth still copies correctly.
  if (memory_ && bitmap_ && size.cx <= size_.cx && size.cy <= size_.cy) return memory_.get();
  Release();
  const int bits = target ? ::GetDeviceCaps(target, BITSPIXEL) : 0;
  memory_ = CreateMemoryDC(target);
  if (!memory_) return nullptr;
  if (size.cx > 0 && size.cy > 0) {
    // Palette and high-colour displays keep their own format: a 32-bit buffer would be
    // converted at every copy.
    if (bits >= kTrueColorBits) bitmap_ = Create32BppDIBSection(memory_.get(), size.cx, size.cy, nullptr);
    if (!bitmap_) bitmap_ = CreateCompatibleBitmapChecked(target, size.cx, size.cy);
  }
  previousBitmap_ = SelectInto(memory_.get(), bitmap_.get());
  size_ = bitmap_ ? size : SIZE{};
  return memory_.get();
}

void COffscreenBuffer::Release() noexcept {
  if (previousBitmap_) ::SelectObject(memory_.get(), previousBitmap_);
  previousBitmap_ = nullptr;
  bitmap_.reset();
  memory_.reset();
  size_ = SIZE{};
}

CBufferDC::CBufferDC(HDC target, const RECT& rect) noexcept : CBufferDC(target, rect, own_) {}

CBufferDC::CBufferDC(HDC target, const RECT& rect, COffscreenBuffer& kept) noexcept
    : target_(target), rect_(rect), dc_(kept.Prepare(target, SIZE{rect.right, rect.bottom})) {}

CBufferDC::~CBufferDC() {
  if (dc_ && target_)
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, dc_, rect_.left,
             rect_.top, SRCCOPY);
}

}  // namespace zandle::drawing
