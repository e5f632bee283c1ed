// Records stored before the tallies existed are counted in batches by the
// writer while the service answers; until then the dashboard says how far
// the counting has got.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/sql_connection.h"
#include "store/tallies.h"

namespace zandle::service {

// Counts the next batch of older records into `tallies` and moves the marks
// on; the caller flushes and commits. False when nothing is left.
bool backfillTallies(SqlConnection& sql, Tallies& tallies, std::int64_t batchRows);

// Percent of the older records counted; nothing when all are.
std::optional<int> backfillPercent(SqlConnection& sql);

// Whether the record of `source` with that id is in the tallies yet: every
// record is, except those the back-fill has still to reach, and none in a
// store no service with tallies has opened yet (forget may run on one).
class BackfillMarks {
 public:
  bool counted(SqlConnection& sql, const std::string& source, std::int64_t id);

 private:
  bool complete_ = false;
  std::optional<bool> tallied_;
};

}  // namespace zandle::service
