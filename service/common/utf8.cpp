#include "common/utf8.h"

namespace zandle::service {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid sequence at bytes[i], or 0 when none starts there.
std::size_t validSequenceLength(std::string_view bytes, std::size_t i) {
  const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byteAt(i);
  if (lead < 0x80) return lead == 0 ? 0 : 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  if (byteAt(i + 1) < low || byteAt(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byteAt(i + k) < 0x80 || byteAt(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string sanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = validSequenceLength(bytes, i);
    if (length == 0) {
      out.append(kReplacement);
      ++i;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

bool isValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = validSequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::size_t countCodePoints(std::string_view bytes) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes.size(); ++count) {
    const std::size_t length = validSequenceLength(bytes, i);
    i += length == 0 ? 1 : length;
  }
  return count;
}

}  // namespace zandle::service
