// Off-screen painting: a bitmap kept between paints, and the scope that paints into it
// and copies the result to the target.
#pragma once

#include <windows.h>

#include "framework/gdi_handles.h"

namespace zandle::drawing {

// An off-screen bitmap kept between paints of one window, so that a paint does not
// allocate one: animation repaints every 16 ms. A 32-bit DIB section where the target
// has true colour (pixel loops can then write it directly), else the target's format.
class COffscreenBuffer {
 public:
  COffscreenBuffer() noexcept = default;
  COffscreenBuffer(const COffscreenBuffer&) = delete;
  COffscreenBuffer& operator=(const COffscreenBuffer&) = delete;
  ~COffscreenBuffer() { Release(); }

  // A memory context holding a bitmap of at least `size`; null when none can be made.
  HDC Prepare(HDC target, SIZE size) noexcept;
  void Release() noexcept;

 private:
  fw::UniqueMemoryDC memory_;
  fw::UniqueBitmap bitmap_;
  HGDIOBJ previousBitmap_ = nullptr;
  SIZE size_{};
};

// Off-screen buffer of the target's format; destruction copies `rect` to the target.
// When the memory context cannot be made, painting goes nowhere and nothing is copied.
class CBufferDC {
 public:
  CBufferDC(HDC target, const RECT& rect) noexcept;
  // Paints into `kept` instead of a buffer of its own.
  CBufferDC(HDC target, const RECT& rect, COffscreenBuffer& kept) noexcept;
  CBufferDC(const CBufferDC&) = delete;
  CBufferDC& operator=(const CBufferDC&) = delete;
  virtual ~CBufferDC();

  HDC GetSafeHdc() const noexcept { return dc_; }
  operator HDC() const noexcept { return dc_; }

 private:
  HDC target_;
  RECT rect_;
  COffscreenBuffer own_;  // before dc_: the constructor prepares it
  HDC dc_ = nullptr;
};

}  // namespace zandle::drawing
