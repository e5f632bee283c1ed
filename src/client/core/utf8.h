// UTF-8 <-> UTF-16 without the platform's converters.
#pragma once

#include <string>
#include <string_view>

namespace zandle {

// Invalid sequences become U+FFFD, as the platform's converter does; NUL bytes are dropped.
std::u16string DecodeUtf8(std::string_view bytes);

// Unpaired surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

}  // namespace zandle
