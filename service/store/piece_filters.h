// Filters of the byte pieces a block of lowered log texts holds: a search
// reads only the blocks whose filter has every bit of its term's pieces. A
// filter only ever says "maybe". Stored filters depend on these: they never
// change.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/sql_connection.h"

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

// Runs `select` (ids past its first parameter, at most its second, by id)
// a few rows at a time from line `last` on, each row to `add`, until
// `batchRows` lines or some megabytes of them were read; `last` ends at the
// last line read. Texts are read whole: a batch of long lines must not take
// the memory (8,192 lines of 60 KB).
template <typename Add>
void readTextsInPieces(SqlConnection& sql, const std::string& select, std::int64_t& last, std::int64_t batchRows,
                       Add add) {
  constexpr std::int64_t kRowsAStatement = 64;
  constexpr std::size_t kMostBytes = 4 << 20;
  std::size_t bytes = 0;
  for (std::int64_t read = 0; read < batchRows && bytes < kMostBytes;) {
    const std::int64_t asked = std::min(kRowsAStatement, batchRows - read);
    const SqlResult rows = sql.run(select, {last, asked});
    for (const auto& row : rows.rows) {
      add(row);
      for (const auto& value : row) bytes += value ? value->size() : 0;
      last = std::stoll(*row.at(0));
    }
    read += static_cast<std::int64_t>(rows.rows.size());
    if (static_cast<std::int64_t>(rows.rows.size()) < asked) break;
  }
}

}  // namespace zandle::service
