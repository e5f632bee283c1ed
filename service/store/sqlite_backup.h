// A consistent copy of a live SQLite store, taken with SQLite's backup API
// while the service goes on writing.
#pragma once

#include <cstdint>
#include <string>

namespace zandle::service {

struct BackupResult {
  std::int64_t pages = 0;
  std::int64_t bytes = 0;
};

// Copies the store at `source` to `destination` as one snapshot (one read
// transaction, so writers are not held up in WAL mode), through a temporary
// file that is synced and then renamed: a backup that fails leaves nothing
// that looks whole. Throws StoreError.
BackupResult backupSqliteStore(const std::string& source, const std::string& destination);

}  // namespace zandle::service
