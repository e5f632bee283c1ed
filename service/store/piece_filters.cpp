#include "store/piece_filters.h"

#include <cstdint>

namespace zandle::service {
namespace {

std::uint32_t pieceHash(std::string_view piece) {
  std::uint32_t hash = 2'166'136'261u;  // FNV-1a
  for (char c : piece) hash = (hash ^ static_cast<unsigned char>(c)) * 16'777'619u;
  return hash;
}

void addPiece(std::string& filter, std::string_view piece) {
  const std::uint32_t hash = pieceHash(piece);
  filter[hash % filter.size()] = '1';
  filter[(hash >> 13) % filter.size()] = '1';
}

}  // namespace

void addTextFilterBits(std::string& filter, std::string_view lowered) {
  for (std::size_t i = 0; i + 3 <= lowered.size(); ++i) addPiece(filter, lowered.substr(i, 3));
}

std::optional<std::string> textFilter(std::string_view lowered) {
  if (lowered.size() < 3) return std::nullopt;
  std::string filter(kTextFilterBits, '0');
  addTextFilterBits(filter, lowered);
  return filter;
}

void addPairFilterBits(std::string& filter, std::string_view lowered) {
  for (std::size_t i = 0; i < lowered.size(); ++i) {
    addPiece(filter, lowered.substr(i, 1));
    if (i + 2 <= lowered.size()) addPiece(filter, lowered.substr(i, 2));
  }
}

std::optional<std::string> pairFilter(std::string_view lowered) {
  if (lowered.empty()) return std::nullopt;
  std::string filter(kPairFilterBits, '0');
  if (lowered.size() == 1) addPiece(filter, lowered);
  for (std::size_t i = 0; i + 2 <= lowered.size(); ++i) addPiece(filter, lowered.substr(i, 2));
  return filter;
}

std::string packedFilter(std::string_view filter) {
  std::string bytes((filter.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < filter.size(); ++i) {
    if (filter[i] == '1') bytes[i / 8] = static_cast<char>(static_cast<unsigned char>(bytes[i / 8]) | (1u << (i % 8)));
  }
  return bytes;
}

std::vector<std::size_t> filterPositions(std::string_view filter) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < filter.size(); ++i) {
    if (filter[i] == '1') positions.push_back(i);
  }
  return positions;
}

}  // namespace zandle::service
