#include "app/retention.h"

#include <chrono>
#include <string>

#include "common/clock.h"
#include "common/logger.h"
#include "store/sql_schema.h"

namespace zandle::service {
namespace {

// Small enough that a batch holds the writer up for a few milliseconds.
constexpr std::int64_t kRetentionBatch = 1'000;
constexpr std::chrono::minutes kRetentionInterval{10};
// Counting older records goes on for this long at a time, then lets replies through.
constexpr std::int64_t kBackfillBatch = 2'000;
constexpr std::chrono::milliseconds kBackfillSlice{100};

}  // namespace

void scheduleRetention(StoreWorker& writer, RetentionDays days) {
  writer.setPeriodicTask(kRetentionInterval, [days](Database& database) {
    // A large SQLite store's missing indexes first, one at a time: SQLite builds
    // them under its write lock, so reports wait meanwhile while pages answer.
    if (SqlConnection* sql = database.sqlConnection();
        sql && sql->dialect() == SqlDialect::Sqlite && buildListIndex(*sql)) {
      return true;
    }
    const auto until = std::chrono::steady_clock::now() + kBackfillSlice;
    bool counting = false;
    do {
      database.begin();
      counting = database.backfillTallies(kBackfillBatch);
      database.commit();
    } while (counting && std::chrono::steady_clock::now() < until);
    if (counting) return true;
    struct Pass {
      RecordKind kind;
      int days;
      const char* name;
    };
    const Pass passes[] = {{RecordKind::LogLine, days.logLines, "log lines"},
                           {RecordKind::Session, days.sessionsAndAnswers, "sessions"},
                           {RecordKind::Answer, days.sessionsAndAnswers, "answers"}};
    bool more = false;
    for (const Pass& pass : passes) {
      if (pass.days <= 0) continue;
      const RemovalFilter older{nowMillis() - pass.days * kMillisPerDay, std::nullopt};
      database.begin();
      const std::int64_t deleted = database.removeRecords(pass.kind, older, kRetentionBatch);
      database.commit();
      if (deleted > 0) logInfo("retention: deleted " + std::to_string(deleted) + " old " + pass.name);
      more = more || deleted == kRetentionBatch;
    }
    return more;
  });
}

}  // namespace zandle::service
