#include "framework/code_page.h"

#include <windows.h>

#include <cstring>

namespace zandle::fw {

std::size_t AnsiCharLength(std::string_view rest) noexcept {
  if (rest.empty()) return 0;
  // A UTF-8 ANSI code page (opt-in on Windows 10) has no DBCS lead bytes.
  if (::GetACP() == CP_UTF8) return Utf8CharLength(rest);
  return (rest.size() >= 2 && ::IsDBCSLeadByte(static_cast<BYTE>(rest[0]))) ? 2 : 1;
}

std::wstring Widen(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view text, unsigned codePage, unsigned flags) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::size_t FitWideToAnsi(std::wstring_view text, std::size_t maxBytes) {
  if (text.empty()) return 0;
  const int whole = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
  if (whole > 0 && static_cast<std::size_t>(whole) <= maxBytes) return text.size();
  std::size_t used = 0, units = 0;
  while (units < text.size()) {
    const wchar_t c = text[units];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && units + 1 < text.size() && text[units + 1] >= 0xDC00 &&
                      text[units + 1] <= 0xDFFF;
    const int width = pair ? 2 : 1;
    const int bytes =
        ::WideCharToMultiByte(CP_ACP, 0, text.data() + units, width, nullptr, 0, nullptr, nullptr);
    const std::size_t cost = bytes > 0 ? static_cast<std::size_t>(bytes) : 1;
    if (used + cost > maxBytes) break;
    used += cost;
    units += static_cast<std::size_t>(width);
  }
  return units;
}

void CopyAnsiTruncated(char* buffer, std::size_t size, std::string_view text) noexcept {
  if (size == 0) return;
  const std::size_t n = FitPrefix(text, size - 1, AnsiCharLength);
  std::memcpy(buffer, text.data(), n);
  std::memset(buffer + n, 0, size - n);
}

}  // namespace zandle::fw
