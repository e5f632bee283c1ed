// Character-boundary arithmetic for the client's fixed-size limits.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zandle {

// Byte length of the character that starts `rest` (at least 1 for non-empty input,
// never more than rest.size()). One per encoding: UTF-8, or the local code page.
using CharLengthFn = std::size_t (*)(std::string_view rest) noexcept;

std::size_t Utf8CharLength(std::string_view rest) noexcept;
std::size_t SingleByteCharLength(std::string_view rest) noexcept;

// Longest prefix of whole characters that has at most maxBytes bytes.
std::size_t FitPrefix(std::string_view text, std::size_t maxBytes, CharLengthFn charLength) noexcept;

// Longest prefix of at most maxUnits UTF-16 units that does not split a surrogate pair.
std::size_t FitPrefix(std::u16string_view text, std::size_t maxUnits) noexcept;

// A buffer of N bytes, terminator included, holds N - 1 bytes of text.
inline constexpr std::size_t ContentOf(std::size_t bufferSize) noexcept {
  return bufferSize == 0 ? 0 : bufferSize - 1;
}

}  // namespace zandle
