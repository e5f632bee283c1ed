// Login detail ids: what UserEnter hands out and UserLeave sends back. Any
// client may send any id, so they must not be guessable from one another.
#pragma once

#include <cstdint>

namespace zandle::service {

// Uniform in 1 .. 2^31-1 (the client reads a signed 32-bit number), from the
// kernel's cryptographic generator. Uniqueness is the store's to check.
std::int32_t randomLoginDetailId();

}  // namespace zandle::service
