// Login UIN of the logged-in user, asked from the identity provider over COM.
#pragma once

#include <cstdint>

namespace zandle::client {

inline constexpr std::size_t kAccountCopyBytes = 256;

// The cached UIN, or a lookup that caches a nonzero result. 0 when none is found.
std::int32_t LookupLoginUIN();

// A UIN argument of 0 is replaced by LookupLoginUIN(); the result is cached either way.
std::int32_t ResolveLoginUin(std::int32_t loginUin);

}  // namespace zandle::client
