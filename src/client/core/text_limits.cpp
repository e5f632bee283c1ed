#include "client/core/text_limits.h"

namespace zandle {

std::size_t Utf8CharLength(std::string_view rest) noexcept {
  if (rest.empty()) return 0;
  const auto lead = static_cast<unsigned char>(rest[0]);
  std::size_t want = 1;
  if (lead >= 0xF0 && lead <= 0xF4) want = 4;
  else if (lead >= 0xE0) want = lead <= 0xEF ? 3 : 1;
  else if (lead >= 0xC2) want = 2;
  if (want > rest.size()) return 1;
  // A malformed sequence counts byte by byte, so a cut never lands inside a valid one.
  for (std::size_t i = 1; i < want; ++i) {
    if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return 1;
  }
  return want;
}

std::size_t SingleByteCharLength(std::string_view rest) noexcept {
  return rest.empty() ? 0 : 1;
}

std::size_t FitPrefix(std::string_view text, std::size_t maxBytes, CharLengthFn charLength) noexcept {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t n = charLength(text.substr(pos));
    if (n == 0) n = 1;
    if (pos + n > maxBytes) break;
    pos += n;
  }
  return pos;
}

std::size_t FitPrefix(std::u16string_view text, std::size_t maxUnits) noexcept {
  if (text.size() <= maxUnits) return text.size();
  std::size_t n = maxUnits;
  if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  return n;
}

}  // namespace zandle
