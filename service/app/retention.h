// Deleting what is past its retention, a small batch of each kind at a time
// on the writer's thread between ingestion batches.
#pragma once

#include "store/store_worker.h"

namespace zandle::service {

struct RetentionDays {
  int logLines = 0;  // 0 keeps them
  int sessionsAndAnswers = 0;
};

void scheduleRetention(StoreWorker& writer, RetentionDays days);

}  // namespace zandle::service
