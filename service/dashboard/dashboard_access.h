// Who is asking for a dashboard page: a script with the bearer token, a
// browser with a session cookie, or nobody yet. Also the sign-in bookkeeping.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/coalesced_log.h"
#include <atomic>

#include "dashboard/access_records.h"
#include "dashboard/access_token.h"
#include "http/http_request.h"

namespace zandle::service {

struct AccessSettings {
  std::int64_t sessionLifetimeMillis = 12 * 3'600'000;
  // Peers whose X-Forwarded-Proto and X-Forwarded-For are believed.
  std::vector<std::string> trustedProxies;
};

enum class Caller {
  Nobody,      // no credentials, or a session that has ended
  Script,      // the right bearer token
  Browser,     // a live session
  WrongToken,  // a token was offered and it is not the master token
  Throttled,   // too many wrong tokens from this address lately
  QueryToken,  // the right token in "?token=": to be swapped for a session
};

struct Identity {
  Caller caller = Caller::Nobody;
  std::optional<DashboardSession> session;
  std::int64_t lockedMillis = 0;  // Throttled: how long the lockout still lasts
};

// Sessions and lockouts are read and written through the AccessRecords given,
// on the store writer's thread.
class DashboardAccess {
 public:
  DashboardAccess(AccessToken token, AccessSettings settings)
      : token_(std::move(token)), settings_(std::move(settings)) {}

  // What the request offers: a token (which may count a failure or open a
  // session, so it is checked on the store writer), only a session cookie, or nothing.
  enum class Offer { Nothing, Cookie, Token };
  static Offer offer(const HttpRequest& request);

  Identity identify(const HttpRequest& request, AccessRecords& records);
  // A sign-in with `candidate`; counts a failure. Nothing when refused.
  std::optional<DashboardSession> signIn(const HttpRequest& request, std::string_view candidate,
                                         AccessRecords& records);
  // Milliseconds this caller's address stays locked out; 0 when it is not.
  std::int64_t lockedFor(const HttpRequest& request, AccessRecords& records);
  const SignInThrottleSettings& throttleSettings() const { return throttle_; }

  std::string sessionCookie(const DashboardSession& session, const HttpRequest& request) const;
  std::string clearedCookie(const HttpRequest& request) const;

  // The browser's address: behind trusted proxies, the right-most hop of
  // X-Forwarded-For (all its lines together) that is not one of them.
  std::string clientAddress(const HttpRequest& request) const;

 private:
  bool isTrustedProxy(std::string_view address) const;
  bool fromTrustedProxy(const HttpRequest& request) const { return isTrustedProxy(request.peerAddress); }
  void recordFailure(const HttpRequest& request, AccessRecords& records);
  void pruneNowAndThen(AccessRecords& records, std::int64_t nowMillis);
  bool overTls(const HttpRequest& request) const;

  AccessToken token_;
  AccessSettings settings_;
  SignInThrottleSettings throttle_;
  std::atomic<std::int64_t> lastPruneMillis_{0};
  CoalescedLog wrongTokens_{LogSeverity::Warning};  // a guesser sends thousands a second
};

// The query string without its "token" fields, as it was encoded.
std::string queryWithoutToken(std::string_view query);

}  // namespace zandle::service
