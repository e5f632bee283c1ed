// Work the writer does between ingestion batches: counting records stored
// before the counts were kept, then deleting what is past its retention, a
// small batch of each kind at a time.
#pragma once

#include "store/store_worker.h"

namespace zandle::service {

struct RetentionDays {
  int logLines = 0;  // 0 keeps them
  int sessionsAndAnswers = 0;
};

void scheduleRetention(StoreWorker& writer, RetentionDays days);

}  // namespace zandle::service
