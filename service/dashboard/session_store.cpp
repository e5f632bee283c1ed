#include "dashboard/session_store.h"

#include <algorithm>

#include "common/clock.h"

namespace zandle::service {

void SessionStore::save(const DashboardSession& session) {
  std::lock_guard lock(mutex_);
  makeRoom(nowMillis());
  sessions_[session.id] = session;
}

std::optional<DashboardSession> SessionStore::find(std::string_view id, std::int64_t nowMillis) {
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(std::string(id));
  if (found == sessions_.end()) return std::nullopt;
  if (found->second.expiresMillis <= nowMillis) {
    sessions_.erase(found);
    return std::nullopt;
  }
  return found->second;
}

void SessionStore::close(std::string_view id) {
  std::lock_guard lock(mutex_);
  sessions_.erase(std::string(id));
}

void SessionStore::setTimeZone(std::string_view id, std::string_view name) {
  std::lock_guard lock(mutex_);
  if (auto found = sessions_.find(std::string(id)); found != sessions_.end()) found->second.timeZone = name;
}

// Sign-ins need the master token, so a full store means many forgotten
// sessions: the expired go first, then the oldest.
void SessionStore::makeRoom(std::int64_t nowMillis) {
  if (sessions_.size() < capacity_) return;
  std::erase_if(sessions_, [nowMillis](const auto& entry) { return entry.second.expiresMillis <= nowMillis; });
  while (sessions_.size() >= capacity_) {
    const auto oldest = std::min_element(sessions_.begin(), sessions_.end(), [](const auto& a, const auto& b) {
      return a.second.expiresMillis < b.second.expiresMillis;
    });
    sessions_.erase(oldest);
  }
}

}  // namespace zandle::service
