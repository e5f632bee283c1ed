// The one exception boundary of each way into the library: an export, a window or
// dialog procedure, a COM method. Code inside reports failures as return values and
// lets only running out of memory escape; nothing thrown reaches the host.
#pragma once

namespace zandle::fw {

template <typename Result, typename Call>
Result Guarded(Result failure, Call&& call) noexcept {
  try {
    return call();
  } catch (...) {
    return failure;
  }
}

}  // namespace zandle::fw
