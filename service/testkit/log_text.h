// Log lines as desktop tools write them: a few dozen kinds of message with
// file names, hosts, numbers and hex codes in them, so a block of lines holds
// thousands of distinct three-byte pieces, not the hundred a fixed vocabulary
// gives. Text indexes and their filters cost what they would in use.
//
// About one line in nine holds "timeout", one in a thousand "checksum
// mismatch"; none holds "&", "=", "%", "+", "[" or "]", so a line goes into a
// WriteLog form body as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace zandle::testkit {

class LogTextMaker {
 public:
  explicit LogTextMaker(std::uint64_t seed) : random_(seed) {}
  std::string next();

 private:
  std::uint64_t pick(std::uint64_t n) { return random_() % n; }
  template <std::size_t N>
  const char* oneOf(const char* const (&list)[N]) {
    return list[pick(N)];
  }
  std::string number(std::uint64_t below) { return std::to_string(pick(below)); }
  std::string hex(int digits);
  std::string file();
  std::string host();

  std::mt19937_64 random_;
};

}  // namespace zandle::testkit
