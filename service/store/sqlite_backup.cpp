#include "store/sqlite_backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "store/database.h"

namespace zandle::service {
namespace {

constexpr int kBusyTimeoutMs = 10'000;

// One handle, closed whatever way the caller leaves.
struct SqliteHandle {
  sqlite3* db = nullptr;
  ~SqliteHandle() { sqlite3_close(db); }
};

void open(SqliteHandle& handle, const std::string& path, int flags) {
  if (sqlite3_open_v2(path.c_str(), &handle.db, flags, nullptr) != SQLITE_OK) {
    throw StoreError("cannot open " + path + ": " + (handle.db ? sqlite3_errmsg(handle.db) : "out of memory"));
  }
  sqlite3_busy_timeout(handle.db, kBusyTimeoutMs);
}

void syncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) {
    const std::string cause = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    throw StoreError("cannot sync " + path + ": " + cause);
  }
  ::close(fd);
}

}  // namespace

BackupResult backupSqliteStore(const std::string& source, const std::string& destination) {
  if (!std::filesystem::exists(source)) throw StoreError("no store at " + source);
  const std::string temporary = destination + ".partial";
  std::remove(temporary.c_str());
  BackupResult result;
  {
    SqliteHandle from, to;
    open(from, source, SQLITE_OPEN_READONLY);
    open(to, temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_backup* backup = sqlite3_backup_init(to.db, "main", from.db, "main");
    if (!backup) throw StoreError("cannot back up " + source + ": " + sqlite3_errmsg(to.db));
    // All pages in one step: one read transaction, one snapshot, and no restart
    // however often the service commits meanwhile.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 100; ++attempt) {
      rc = sqlite3_backup_step(backup, -1);
      if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
      sqlite3_sleep(100);
    }
    result.pages = sqlite3_backup_pagecount(backup);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
      std::remove(temporary.c_str());
      throw StoreError("backup of " + source + " failed: " + sqlite3_errstr(rc));
    }
    // The copy stands alone: one file, no WAL beside it.
    if (sqlite3_exec(to.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      throw StoreError("cannot finish the backup: " + std::string(sqlite3_errmsg(to.db)));
    }
  }
  syncFile(temporary);
  if (std::rename(temporary.c_str(), destination.c_str()) != 0) {
    const std::string cause = std::strerror(errno);
    std::remove(temporary.c_str());
    throw StoreError("cannot move the backup to " + destination + ": " + cause);
  }
  const std::string directory = std::filesystem::absolute(destination).parent_path().string();
  syncFile(directory);
  result.bytes = static_cast<std::int64_t>(std::filesystem::file_size(destination));
  return result;
}

}  // namespace zandle::service
