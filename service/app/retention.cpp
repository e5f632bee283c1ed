#include "app/retention.h"

#include <string>

#include "common/clock.h"
#include "common/logger.h"

namespace zandle::service {
namespace {

// Small enough that a batch holds the writer up for a few milliseconds.
constexpr std::int64_t kRetentionBatch = 1'000;
constexpr std::chrono::minutes kRetentionInterval{10};

}  // namespace

void scheduleRetention(StoreWorker& writer, RetentionDays days) {
  if (days.logLines <= 0 && days.sessionsAndAnswers <= 0) return;
  writer.setPeriodicTask(kRetentionInterval, [days](Database& database) {
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
