// A stretch of time as the fewest tally rows: half hours at the ends, whole
// UTC days, then 16-day blocks. Counts may also be read as a longer row less
// the rows it holds beyond the stretch (a block less two days rather than
// fourteen days); sketches of users and lengths cannot be taken away.
#pragma once

#include <cstdint>
#include <vector>

#include "store/tallies.h"

namespace zandle::service {

struct CoverPart {
  Span span = Span::Slot;
  std::int64_t from = 0;  // rows starting in [from, to)
  std::int64_t to = 0;
  int sign = 1;
};

// Each half hour starting in [from, to) is counted once in all; with
// `subtract` false no part is negative. `from` is a half hour's start. Rows
// from `emptyFrom` on (the future) are taken to hold nothing, so a range up to
// now reads today's and this block's rows whole, less the (empty) rest.
std::vector<CoverPart> coverRange(std::int64_t from, std::int64_t to, bool subtract,
                                  std::int64_t emptyFrom = INT64_MAX);

}  // namespace zandle::service
