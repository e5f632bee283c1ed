#include "store/sketches.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>

namespace zandle::service {
namespace {

constexpr int kRegisterBits = 11;
constexpr char kExactTag = 'E';
constexpr char kSketchTag = 'H';
constexpr int kBinsPerDoubling = 16;

std::uint64_t mix(std::uint64_t x) {  // splitmix64's finaliser
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

template <typename T>
void put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <typename T>
T get(std::string_view bytes, std::size_t at) {
  T value{};
  std::memcpy(&value, bytes.data() + at, sizeof(T));
  return value;
}

std::uint16_t binOf(std::int64_t millis) {
  if (millis < 1000) return 0;
  const double doublings = std::log2(static_cast<double>(millis) / 1000.0);
  return static_cast<std::uint16_t>(std::min(1 + std::floor(doublings * kBinsPerDoubling), 65535.0));
}

// The middle of a bin on the log scale.
std::int64_t binValue(std::uint16_t bin) {
  if (bin == 0) return 500;
  return std::llround(1000.0 * std::exp2((bin - 1 + 0.5) / kBinsPerDoubling));
}

}  // namespace

UserSketch UserSketch::decode(std::string_view bytes) {
  UserSketch sketch;
  if (bytes.empty()) return sketch;
  if (bytes[0] == kSketchTag && bytes.size() == 1 + kUserRegisters) {
    sketch.registers_.assign(bytes.begin() + 1, bytes.end());
  } else if (bytes[0] == kExactTag) {
    sketch.exact_.resize((bytes.size() - 1) / 4);
    std::memcpy(sketch.exact_.data(), bytes.data() + 1, sketch.exact_.size() * 4);
    // Written in order; a damaged value must not break the order merges rely on.
    if (!std::is_sorted(sketch.exact_.begin(), sketch.exact_.end())) {
      std::sort(sketch.exact_.begin(), sketch.exact_.end());
      sketch.exact_.erase(std::unique(sketch.exact_.begin(), sketch.exact_.end()), sketch.exact_.end());
    }
  }
  return sketch;
}

std::string UserSketch::encode() const {
  std::string out;
  if (!registers_.empty()) {
    out += kSketchTag;
    out.append(registers_.begin(), registers_.end());
    return out;
  }
  out += kExactTag;
  for (std::uint32_t uin : exact_) put(out, uin);
  return out;
}

void UserSketch::addHash(std::uint64_t hash) {
  const std::size_t index = hash >> (64 - kRegisterBits);
  const std::uint64_t rest = hash << kRegisterBits;
  const auto rank = static_cast<std::uint8_t>(rest == 0 ? 64 - kRegisterBits + 1 : std::countl_zero(rest) + 1);
  registers_[index] = std::max(registers_[index], rank);
}

void UserSketch::toRegisters() {
  registers_.assign(kUserRegisters, 0);
  for (std::uint32_t uin : exact_) addHash(mix(uin));
  exact_.clear();
}

void UserSketch::add(std::uint32_t uin) {
  if (!registers_.empty()) return addHash(mix(uin));
  const auto at = std::lower_bound(exact_.begin(), exact_.end(), uin);
  if (at != exact_.end() && *at == uin) return;
  exact_.insert(at, uin);
  if (exact_.size() > kExactUsers) toRegisters();
}

void UserSketch::merge(const UserSketch& other) {
  if (other.registers_.empty()) {
    if (other.exact_.empty()) return;
    if (!registers_.empty()) {
      for (std::uint32_t uin : other.exact_) addHash(mix(uin));
      return;
    }
    std::vector<std::uint32_t> both;
    both.reserve(exact_.size() + other.exact_.size());
    std::set_union(exact_.begin(), exact_.end(), other.exact_.begin(), other.exact_.end(), std::back_inserter(both));
    exact_ = std::move(both);
    if (exact_.size() > kExactUsers) toRegisters();
    return;
  }
  if (registers_.empty()) toRegisters();
  for (std::size_t i = 0; i < kUserRegisters; ++i) registers_[i] = std::max(registers_[i], other.registers_[i]);
}

std::int64_t UserSketch::count() const {
  if (registers_.empty()) return static_cast<std::int64_t>(exact_.size());
  // Flajolet et al.'s estimate, with linear counting for small numbers.
  const double m = static_cast<double>(kUserRegisters);
  double sum = 0;
  int zeros = 0;
  // A page counts hundreds of sketches: 2^-r from a table, not ldexp.
  static const std::array<double, 256> inverse = [] {
    std::array<double, 256> powers{};
    for (std::size_t r = 0; r < powers.size(); ++r) powers[r] = std::ldexp(1.0, -static_cast<int>(r));
    return powers;
  }();
  for (std::uint8_t r : registers_) {
    sum += inverse[r];
    zeros += r == 0;
  }
  double estimate = 0.7213 / (1 + 1.079 / m) * m * m / sum;
  if (estimate <= 2.5 * m && zeros > 0) estimate = m * std::log(m / zeros);
  return std::llround(estimate);
}

namespace {

// Sorted by bin, equal bins summed.
void tidy(std::vector<std::pair<std::uint16_t, std::int64_t>>& bins) {
  const auto byBin = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (!std::is_sorted(bins.begin(), bins.end(), byBin)) std::stable_sort(bins.begin(), bins.end(), byBin);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < bins.size(); ++i) {
    if (kept > 0 && bins[kept - 1].first == bins[i].first) {
      bins[kept - 1].second += bins[i].second;
    } else {
      bins[kept++] = bins[i];
    }
  }
  bins.resize(kept);
}

}  // namespace

LengthSketch LengthSketch::decode(std::string_view bytes) {
  LengthSketch sketch;
  if (bytes.empty()) return sketch;
  if (bytes[0] == kExactTag) {
    sketch.exact_.reserve((bytes.size() - 1) / 8);
    for (std::size_t at = 1; at + 8 <= bytes.size(); at += 8) sketch.exact_.push_back(get<std::int64_t>(bytes, at));
  } else if (bytes[0] == kSketchTag) {
    sketch.binned_ = true;
    sketch.bins_.reserve((bytes.size() - 1) / 10);
    for (std::size_t at = 1; at + 10 <= bytes.size(); at += 10) {
      sketch.bins_.emplace_back(get<std::uint16_t>(bytes, at), get<std::int64_t>(bytes, at + 2));
    }
    tidy(sketch.bins_);  // written in order; a damaged blob may not be
  }
  return sketch;
}

std::string LengthSketch::encode() const {
  std::string out(1, binned_ ? kSketchTag : kExactTag);
  if (binned_) {
    for (const auto& [bin, count] : bins_) {
      put(out, bin);
      put(out, count);
    }
  } else {
    for (std::int64_t length : exact_) put(out, length);
  }
  return out;
}

void LengthSketch::toBins() {
  binned_ = true;
  Bins bins;
  bins.reserve(exact_.size());
  for (std::int64_t length : exact_) bins.emplace_back(binOf(length), 1);
  tidy(bins);
  exact_.clear();
  mergeBins(bins);
}

void LengthSketch::mergeBins(const Bins& other) {
  if (other.empty()) return;
  if (bins_.empty()) {
    bins_ = other;
    return;
  }
  Bins both;
  both.reserve(bins_.size() + other.size());
  auto a = bins_.cbegin(), b = other.cbegin();
  while (a != bins_.cend() || b != other.cend()) {
    if (b == other.cend() || (a != bins_.cend() && a->first < b->first)) {
      both.push_back(*a++);
    } else if (a == bins_.cend() || b->first < a->first) {
      both.push_back(*b++);
    } else {
      both.emplace_back(a->first, a->second + b->second);
      ++a;
      ++b;
    }
  }
  bins_ = std::move(both);
}

void LengthSketch::add(std::int64_t millis) {
  if (binned_) {
    const std::uint16_t bin = binOf(millis);
    const auto at = std::lower_bound(bins_.begin(), bins_.end(), bin,
                                     [](const auto& entry, std::uint16_t value) { return entry.first < value; });
    if (at != bins_.end() && at->first == bin) {
      ++at->second;
    } else {
      bins_.insert(at, {bin, 1});
    }
    return;
  }
  exact_.push_back(millis);
  if (exact_.size() > kExactLengths) toBins();
}

void LengthSketch::merge(const LengthSketch& other) {
  if (!binned_ && !other.binned_ && exact_.size() + other.exact_.size() <= kExactLengths * 64) {
    // Merged exact lists may grow long on the reading side: a median over
    // a few thousand is still cheap to take exactly.
    exact_.insert(exact_.end(), other.exact_.begin(), other.exact_.end());
    return;
  }
  if (!binned_) toBins();
  if (!other.binned_) {
    // A half hour's few exact lengths go in one by one: no copy, no new list.
    for (std::int64_t length : other.exact_) add(length);
    return;
  }
  mergeBins(other.bins_);
}

std::int64_t LengthSketch::count() const {
  if (!binned_) return static_cast<std::int64_t>(exact_.size());
  std::int64_t total = 0;
  for (const auto& entry : bins_) total += entry.second;
  return total;
}

std::optional<std::int64_t> LengthSketch::median() const {
  const std::int64_t total = count();
  if (total == 0) return std::nullopt;
  if (!binned_) {
    std::vector<std::int64_t> sorted = exact_;
    std::sort(sorted.begin(), sorted.end());
    const std::int64_t lower = sorted[static_cast<std::size_t>((total - 1) / 2)];
    if (total % 2 == 1) return lower;
    return lower + (sorted[static_cast<std::size_t>(total / 2)] - lower) / 2;
  }
  std::int64_t seen = 0;
  for (const auto& [bin, count] : bins_) {
    seen += count;
    if (seen * 2 >= total) return binValue(bin);
  }
  return binValue(bins_.back().first);
}

}  // namespace zandle::service
