// Dashboard sign-ins: random session ids, each with its own form token and an
// end. In memory, for a service without a store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace zandle::service {

struct DashboardSession {
  std::string id;    // the cookie's value
  std::string csrf;  // what the session's forms must carry
  std::int64_t expiresMillis = 0;
  std::string timeZone = "UTC";  // the last one chosen, for pages that name none
};

class SessionStore {
 public:
  explicit SessionStore(std::size_t capacity = 10'000) : capacity_(capacity) {}

  void save(const DashboardSession& session);
  // Nothing for an unknown or expired id.
  std::optional<DashboardSession> find(std::string_view id, std::int64_t nowMillis);
  void close(std::string_view id);
  void setTimeZone(std::string_view id, std::string_view name);


 private:
  void makeRoom(std::int64_t nowMillis);

  const std::size_t capacity_;
  std::mutex mutex_;
  std::unordered_map<std::string, DashboardSession> sessions_;
};

}  // namespace zandle::service
