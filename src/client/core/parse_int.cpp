#include "client/core/parse_int.h"

namespace zandle {

std::int32_t ParseInt(std::u16string_view text) noexcept {
  std::size_t pos = 0;
  const bool negative = !text.empty() && text[0] == u'-';
  if (negative) pos = 1;
  // Unsigned arithmetic: the wrap-around is intended and must not be UB.
  std::uint32_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char16_t c = text[pos];
    if (c < u'0' || c > u'9') break;
    value = value * 10u + static_cast<std::uint32_t>(c - u'0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::int32_t ParseAccountUin(std::u16string_view account) noexcept {
  const auto backslash = account.find(u'\\');
  if (backslash != std::u16string_view::npos) account = account.substr(0, backslash);
  return ParseInt(account);
}

}  // namespace zandle
