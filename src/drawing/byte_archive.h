// A little-endian byte stream for the themable colour values: stores, or loads from
// bytes that came from elsewhere. A read past the end fails and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zandle::drawing {

class ByteArchive {
 public:
  ByteArchive() = default;  // storing
  explicit ByteArchive(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), loading_(true) {}

  bool IsLoading() const noexcept { return loading_; }
  bool IsStoring() const noexcept { return !loading_; }
  // True once a load ran out of bytes; later loads do nothing.
  bool Failed() const noexcept { return failed_; }
  const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes_; }

  void Write32(std::uint32_t value);
  void WriteFloat(float value);
  bool Read32(std::uint32_t& value) noexcept;
  bool ReadFloat(float& value) noexcept;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t readPosition_ = 0;
  bool loading_ = false;
  bool failed_ = false;
};

}  // namespace zandle::drawing
