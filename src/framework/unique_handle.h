// RAII owner for one kind of handle: the handle type and the function that closes it.
// The value-initialised handle (null) means none. Every kind keeps a live count,
// cheap enough for release builds, so that tests can see leaks where the platform
// cannot (GetGuiResources is a stub under Wine).
#pragma once

#include <atomic>
#include <utility>

namespace zandle::fw {

template <typename T, auto Close>
class UniqueHandle {
 public:
  using pointer = T;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(pointer value) noexcept : value_(value) { Track(+1); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) { Track(+1); }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return !(value_ == pointer{}); }

  void reset(pointer value = pointer{}) noexcept {
    if (*this) {
      Close(value_);
      Track(-1);
    }
    value_ = value;
    Track(+1);
  }

  // Gives up ownership; the caller closes.
  pointer release() noexcept {
    Track(-1);
    return std::exchange(value_, pointer{});
  }

  // Number of handles of this kind owned right now, process-wide.
  static int LiveCount() noexcept { return live_.load(std::memory_order_relaxed); }

 private:
  void Track(int delta) noexcept {
    if (*this) live_.fetch_add(delta, std::memory_order_relaxed);
  }

  pointer value_{};
  static inline std::atomic<int> live_{0};
};

}  // namespace zandle::fw
