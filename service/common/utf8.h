// UTF-8 checks for text that arrives from clients as raw bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zandle::service {

// Every invalid sequence and every NUL byte becomes U+FFFD, so the result is
// safe for TEXT columns (PostgreSQL refuses both) and for JSON and HTML output.
std::string sanitizeUtf8(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

// Number of code points; a byte that starts no valid sequence counts as one.
std::size_t countCodePoints(std::string_view bytes);

}  // namespace zandle::service
