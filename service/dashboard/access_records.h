// Where dashboard sign-ins and the sign-in lockout are kept: in the store, so
// that every instance on it shares them and a restart signs no one out; in
// memory for "--store none". Used on the store writer's thread, inside its
// transactions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dashboard/session_store.h"
#include "dashboard/sign_in_throttle.h"

namespace zandle::service {

class SqlConnection;

class AccessRecords {
 public:
  virtual ~AccessRecords() = default;
  virtual void saveSession(const DashboardSession& session, std::int64_t nowMillis) = 0;
  // Nothing for an unknown or expired id.
  virtual std::optional<DashboardSession> findSession(std::string_view id, std::int64_t nowMillis) = 0;
  virtual void closeSession(std::string_view id) = 0;
  virtual void setTimeZone(std::string_view id, std::string_view zone) = 0;
  // Milliseconds `key` stays locked out; 0 when it may try.
  virtual std::int64_t lockedFor(const std::string& key, std::int64_t nowMillis) = 0;
  // True when this failure locks the address out (once, whichever instance counts it).
  virtual bool recordFailure(const std::string& key, std::int64_t nowMillis) = 0;
  // Drops ended sessions and lockouts.
  virtual void prune(std::int64_t nowMillis) = 0;
};

class MemoryAccessRecords final : public AccessRecords {
 public:
  explicit MemoryAccessRecords(SignInThrottleSettings throttle = {}) : throttle_(throttle) {}
  void saveSession(const DashboardSession& session, std::int64_t) override { sessions_.save(session); }
  std::optional<DashboardSession> findSession(std::string_view id, std::int64_t nowMillis) override {
    return sessions_.find(id, nowMillis);
  }
  void closeSession(std::string_view id) override { sessions_.close(id); }
  void setTimeZone(std::string_view id, std::string_view zone) override { sessions_.setTimeZone(id, zone); }
  std::int64_t lockedFor(const std::string& key, std::int64_t nowMillis) override {
    return throttle_.lockedFor(key, nowMillis);
  }
  bool recordFailure(const std::string& key, std::int64_t nowMillis) override {
    return throttle_.recordFailure(key, nowMillis);
  }
  void prune(std::int64_t) override {}

 private:
  SessionStore sessions_;
  SignInThrottle throttle_;
};

class SqlAccessRecords final : public AccessRecords {
 public:
  SqlAccessRecords(SqlConnection& sql, SignInThrottleSettings throttle) : sql_(sql), throttle_(throttle) {}
  void saveSession(const DashboardSession& session, std::int64_t nowMillis) override;
  std::optional<DashboardSession> findSession(std::string_view id, std::int64_t nowMillis) override;
  void closeSession(std::string_view id) override;
  void setTimeZone(std::string_view id, std::string_view zone) override;
  std::int64_t lockedFor(const std::string& key, std::int64_t nowMillis) override;
  bool recordFailure(const std::string& key, std::int64_t nowMillis) override;
  void prune(std::int64_t nowMillis) override;

 private:
  SqlConnection& sql_;
  const SignInThrottleSettings throttle_;
};

}  // namespace zandle::service
