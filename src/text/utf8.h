// UTF-8 for the whole client: one reading of a sequence, and conversions to and from
// UTF-16 without the platform's converters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zandle {

// The sequence at the start of a non-empty text. Valid: the shortest form of a
// scalar value (no surrogate, nothing above U+10FFFF). A malformed one spans its
// lead byte and the continuation bytes that follow it, up to the length the lead
// announces.
struct Utf8Sequence {
  std::size_t length = 0;
  bool valid = false;
  char32_t codePoint = 0;
};
Utf8Sequence ReadUtf8(std::string_view rest) noexcept;

// Invalid sequences become U+FFFD, as the platform's converter does; NUL bytes are dropped.
std::u16string DecodeUtf8(std::string_view bytes);

// Unpaired surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

}  // namespace zandle
