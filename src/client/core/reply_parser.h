// Reading the service's one-element replies; not an XML parser on purpose:
// only the first exact start tag counts and the content ends at the next "<".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zandle {

inline constexpr std::size_t kIntContentMaxChars = 32;

// True when the integer start tag is present; `result` is then ParseInt of at most
// 32 characters after it. On false `result` is untouched.
bool ParseIntReply(std::u16string_view reply, std::int32_t& result);

// True when the text start tag is present; `text` receives the content with CR and LF
// removed and "&lt;"/"&gt;" unescaped (no other entity is decoded).
bool ParseTextReply(std::u16string_view reply, std::u16string& text);

}  // namespace zandle
