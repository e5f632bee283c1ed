// Taking records out of the store in small batches: those older than a
// retention limit, or every record of one user on request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/sql_connection.h"

namespace zandle::service {

enum class RecordKind { Session, LogLine, Answer };

// Older than `beforeMillis` (by arrival, a session by its start), or of user `uin`.
struct RemovalFilter {
  std::optional<std::int64_t> beforeMillis;
  std::optional<std::int32_t> uin;
};

// What went, with the fields the counts kept at ingestion are keyed by.
struct RemovedRecord {
  std::int64_t id = 0;
  std::string model;
  std::string version;
  std::string function;  // answers
  std::int64_t uin = 0;
  std::int64_t level = 0;     // log lines and answers
  std::int64_t atMillis = 0;  // entered or received
  std::optional<std::int64_t> leftMillis;  // closed sessions
};

// Deletes at most `limit` records of `kind` that match, oldest ids first; returns them.
std::vector<RemovedRecord> removeRecords(SqlConnection& sql, RecordKind kind, const RemovalFilter& filter,
                                         std::int64_t limit);

// The tool list remembers who sighted each tool last; that user is forgotten there too.
std::int64_t forgetToolSightings(SqlConnection& sql, std::int32_t uin);

}  // namespace zandle::service
