// Filters of the byte pieces a block of lowered log texts holds: a search
// reads only the blocks whose filter has every bit of its term's pieces. A
// filter only ever says "maybe". Stored filters depend on these: they never
// change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zandle::service {

// Filters as strings of '0' and '1' (PostgreSQL's BIT literal), two bits a piece.
inline constexpr std::size_t kTextFilterBits = 8'192;
inline constexpr std::size_t kPairFilterBits = 8'192;

// Three-byte pieces; nothing for a term of fewer than three bytes.
std::optional<std::string> textFilter(std::string_view lowered);
void addTextFilterBits(std::string& filter, std::string_view lowered);

// Two-byte pieces and single bytes, for the terms too short for three-byte
// pieces or the text index; a term's filter holds its two-byte pieces (its
// byte, for one). Nothing for an empty term.
std::optional<std::string> pairFilter(std::string_view lowered);
void addPairFilterBits(std::string& filter, std::string_view lowered);

// Bit i in byte i / 8, as 1 << (i % 8): a filter as a blob, and the bits set.
std::string packedFilter(std::string_view filter);
std::vector<std::size_t> filterPositions(std::string_view filter);

}  // namespace zandle::service
