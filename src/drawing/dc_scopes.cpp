#include "drawing/dc_scopes.h"

#include "drawing/gdi_objects.h"

namespace zandle::drawing {
namespace {

HGDIOBJ SelectInto(HDC dc, HGDIOBJ object) noexcept {
  if (!dc || !object) return nullptr;
  const HGDIOBJ previous = ::SelectObject(dc, object);
  return previous == HGDI_ERROR ? nullptr : previous;
}

}  // namespace

CBufferDC::CBufferDC(HDC target, const RECT& rect) noexcept
    : target_(target), rect_(rect), memory_(CreateMemoryDC(target)) {
  if (!memory_) return;
  bitmap_ = CreateCompatibleBitmapChecked(target, rect.right, rect.bottom);
  previousBitmap_ = SelectInto(memory_.get(), bitmap_.get());
}

CBufferDC::~CBufferDC() {
  if (!memory_) return;
  if (target_)
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memory_.get(),
             rect_.left, rect_.top, SRCCOPY);
  if (previousBitmap_) ::SelectObject(memory_.get(), previousBitmap_);
}

CCompatibleDC::CCompatibleDC(HDC reference, HBITMAP bitmap) noexcept
    : memory_(CreateMemoryDC(reference)), previous_(SelectInto(memory_.get(), bitmap)) {}

CCompatibleDC::~CCompatibleDC() {
  if (previous_) ::SelectObject(memory_.get(), previous_);
}

CFontDC::CFontDC(HDC dc, HFONT font) noexcept : dc_(dc), previous_(SelectInto(dc, font)) {}

CFontDC::~CFontDC() {
  if (previous_) ::SelectObject(dc_, previous_);
}

CPenDC::CPenDC(HDC dc, Color color) noexcept : dc_(dc), pen_(::CreatePen(PS_SOLID, 1, color)) {
  previous_ = SelectInto(dc_, pen_.get());
}

CPenDC::~CPenDC() {
  // Put the old pen back before the owner deletes ours: a selected pen is not deleted.
  if (previous_) ::SelectObject(dc_, previous_);
}

CBrushDC::CBrushDC(HDC dc, Color color) noexcept : dc_(dc), brush_(::CreateSolidBrush(color)) {
  previous_ = SelectInto(dc_, brush_.get());
}

CBrushDC::~CBrushDC() {
  if (previous_) ::SelectObject(dc_, previous_);
}

void DrawTriangle(HDC dc, POINT p0, POINT p1, POINT p2, Color color) noexcept {
  const POINT points[3] = {p0, p1, p2};
  CPenDC pen(dc, color);
  CBrushDC brush(dc, color);
  ::Polygon(dc, points, 3);
}

}  // namespace zandle::drawing
