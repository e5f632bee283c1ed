// The most the Windows client can send, so that nothing larger is stored:
// its form bodies are built in fixed buffers, its names in 256-byte ones.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zandle::service {

inline constexpr std::size_t kMaxWriteLogBodyBytes = 4096;
inline constexpr std::size_t kMaxOtherBodyBytes = 1024;
// Tool names, versions and function names; the dashboard's editor takes no more either.
inline constexpr std::size_t kMaxNameBytes = 255;
// Free texts (log lines, extra texts): no more than the largest body.
inline constexpr std::size_t kMaxTextBytes = kMaxWriteLogBodyBytes;

// Largest body the client sends to this web method.
std::size_t maxBodyBytes(std::string_view method);

// Valid UTF-8 in, at most maxBytes out, never ending inside a character.
std::string cutAtCharBoundary(std::string text, std::size_t maxBytes);

// Client bytes as stored text: invalid sequences replaced (which may lengthen
// them), then cut to maxBytes.
std::string storedText(std::string_view bytes, std::size_t maxBytes);

}  // namespace zandle::service
