// Distinct users and session lengths kept per half hour in a few bytes each,
// so that any number of half hours combine into one figure.
//
// Users: the exact set of UINs up to kExactUsers; beyond that a HyperLogLog
// of 2^11 registers (typical error 1.04 / sqrt(2048) = 2.3 %). Exact sets
// would not fit: the whole store's half hour may hold thousands of users and
// a 90-day page combines 8,640 of them.
// Lengths: the exact lengths up to kExactLengths; beyond that a histogram
// with 16 bins per doubling, so a median is within 2.2 %.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

inline constexpr std::size_t kExactUsers = 512;
inline constexpr std::size_t kUserRegisters = 2048;
inline constexpr double kUserEstimateError = 0.023;

class UserSketch {
 public:
  static UserSketch decode(std::string_view bytes);
  std::string encode() const;

  void add(std::uint32_t uin);
  void merge(const UserSketch& other);
  std::int64_t count() const;
  bool estimated() const { return !registers_.empty(); }
  bool empty() const { return registers_.empty() && exact_.empty(); }

 private:
  void addHash(std::uint64_t hash);
  void toRegisters();

  std::vector<std::uint32_t> exact_;      // ascending
  std::vector<std::uint8_t> registers_;  // empty while exact
};

inline constexpr std::size_t kExactLengths = 64;

class LengthSketch {
 public:
  static LengthSketch decode(std::string_view bytes);
  std::string encode() const;

  void add(std::int64_t millis);
  void merge(const LengthSketch& other);
  std::int64_t count() const;
  std::optional<std::int64_t> median() const;

 private:
  using Bins = std::vector<std::pair<std::uint16_t, std::int64_t>>;  // by bin, each bin once
  void toBins();
  void mergeBins(const Bins& other);

  std::vector<std::int64_t> exact_;
  Bins bins_;  // used once exact_ would grow too long
  bool binned_ = false;
};

}  // namespace zandle::service
