#include "text/text_limits.h"

#include "text/utf8.h"

namespace zandle {

std::size_t Utf8CharLength(std::string_view rest) noexcept {
  if (rest.empty()) return 0;
  // A malformed sequence counts byte by byte, so a cut never lands inside a valid one.
  const Utf8Sequence sequence = ReadUtf8(rest);
  return sequence.valid ? sequence.length : 1;
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
