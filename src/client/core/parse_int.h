// Integer and account parsing as the client reads them from replies and accounts.
#pragma once

#include <cstdint>
#include <string_view>

namespace zandle {

// Optional "-", then decimal digits up to the first other character; 32-bit wrap-around.
// Leading spaces, "+" and hexadecimal give 0.
std::int32_t ParseInt(std::u16string_view text) noexcept;

// Account string of the identity provider: the UIN in decimal, optionally followed
// by a backslash and further text. Anything else gives 0.
std::int32_t ParseAccountUin(std::u16string_view account) noexcept;

}  // namespace zandle
