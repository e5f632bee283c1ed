#include "drawing/byte_archive.h"

#include <cstring>

namespace zandle::drawing {

void ByteArchive::Write32(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void ByteArchive::WriteFloat(float value) {
  std::uint32_t bits;
  static_assert(sizeof(bits) == sizeof(value));
  std::memcpy(&bits, &value, sizeof(bits));
  Write32(bits);
}

bool ByteArchive::Read32(std::uint32_t& value) noexcept {
  if (failed_ || bytes_.size() - readPosition_ < 4) {
    failed_ = true;
    return false;
  }
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes_[readPosition_ + i]) << (8 * i);
  readPosition_ += 4;
  value = v;
  return true;
}

bool ByteArchive::ReadFloat(float& value) noexcept {
  std::uint32_t bits;
  if (!Read32(bits)) return false;
  std::memcpy(&value, &bits, sizeof(value));
  return true;
}

}  // namespace zandle::drawing
