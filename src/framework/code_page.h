// Conversions between the local (ANSI) code page, UTF-16 and UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "text/text_limits.h"

namespace zandle::fw {

// Byte length of the character at the start of an ANSI-code-page text (1 or 2).
std::size_t AnsiCharLength(std::string_view rest) noexcept;

// codePage: CP_ACP (process) or CP_THREAD_ACP (calling thread).
std::wstring Widen(std::string_view text, unsigned codePage);
std::string Narrow(std::wstring_view text, unsigned codePage, unsigned flags = 0);

// Length in UTF-16 units of the longest prefix of `text` (no surrogate pair split) whose
// conversion to the process code page takes at most `maxBytes` bytes: where narrowing it
// into a buffer of maxBytes + 1 bytes would cut it. Characters the code page lacks
// count as what the conversion puts in their place.
std::size_t FitWideToAnsi(std::wstring_view text, std::size_t maxBytes);

// Copies into a zero-terminated buffer of `size` bytes, cut at a character boundary.
void CopyAnsiTruncated(char* buffer, std::size_t size, std::string_view text) noexcept;

inline std::u16string_view AsU16(std::wstring_view s) noexcept {
  return {reinterpret_cast<const char16_t*>(s.data()), s.size()};
}
inline std::wstring_view AsWide(std::u16string_view s) noexcept {
  return {reinterpret_cast<const wchar_t*>(s.data()), s.size()};
}
static_assert(sizeof(wchar_t) == sizeof(char16_t));

}  // namespace zandle::fw
