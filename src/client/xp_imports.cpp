// Windows XP has no GetTickCount64, yet the static thread runtime of the posix
// toolchain imports it: a DLL importing it does not load there. This object, linked
// into Zandle.dll itself (never from an archive, so that it is seen before kernel32's
// import library), supplies the import slot: the system's function where it exists,
// else the 32-bit count extended across its wraps.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI ExtendedTickCount() noexcept {
  static const TickCount64Fn system = reinterpret_cast<TickCount64Fn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  if (system) return system();
  // The high half counts the wraps seen; callers on several threads agree through
  // one compare-and-swap on the whole value.
  static std::atomic<std::uint64_t> last{0};
  std::uint64_t previous = last.load();
  for (;;) {
    const std::uint32_t now = ::GetTickCount();
    std::uint64_t high = previous & ~std::uint64_t{0xFFFFFFFF};
    if (now < static_cast<std::uint32_t>(previous)) high += std::uint64_t{1} << 32;
    const std::uint64_t next = high | now;
    if (last.compare_exchange_weak(previous, next)) return next;
  }
}

}  // namespace

extern "C" {
// The import slot name the 32-bit toolchain gives GetTickCount64.
TickCount64Fn zandle_imp_GetTickCount64 __asm__("__imp__GetTickCount64@0") = &ExtendedTickCount;
}
