#include "dashboard/dashboard_access.h"

#include <algorithm>

#include "common/logger.h"
#include "http/form_decoder.h"
#include "http/socket_address.h"

namespace zandle::service {
namespace {

constexpr std::string_view kCookieName = "zandle_session";
constexpr std::size_t kSessionIdBytes = 32;

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The entries of a comma-separated header over all its lines, in order:
// a proxy may append its own line rather than extend the last.
std::vector<std::string_view> listEntries(const HttpRequest& request, std::string_view name) {
  std::vector<std::string_view> entries;
  for (const auto& [header, value] : request.headers) {
    if (header != name) continue;
    std::string_view list = value;
    for (;;) {
      const std::size_t comma = list.find(',');
      entries.push_back(trimmed(list.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
  }
  return entries;
}

std::optional<std::string> sessionCookieValue(const HttpRequest& request) {
  for (const auto& [name, value] : request.headers) {
    if (name != "cookie") continue;
    std::string_view cookies = value;
    while (!cookies.empty()) {
      const std::size_t semicolon = cookies.find(';');
      const std::string_view pair = trimmed(cookies.substr(0, semicolon));
      cookies.remove_prefix(semicolon == std::string_view::npos ? cookies.size() : semicolon + 1);
      if (pair.starts_with(kCookieName) && pair.substr(kCookieName.size()).starts_with('=')) {
        return std::string(pair.substr(kCookieName.size() + 1));
      }
    }
  }
  return std::nullopt;
}

}  // namespace

DashboardAccess::Offer DashboardAccess::offer(const HttpRequest& request) {
  if (FormFields::parse(request.query).single("token") || bearerToken(request)) return Offer::Token;
  return sessionCookieValue(request) ? Offer::Cookie : Offer::Nothing;
}

Identity DashboardAccess::identify(const HttpRequest& request, AccessRecords& records) {
  const auto fromQuery = FormFields::parse(request.query).single("token");
  const auto fromHeader = bearerToken(request);
  if (fromQuery || fromHeader) {
    pruneNowAndThen(records, request.arrivalMillis);
    if (const std::int64_t locked = lockedFor(request, records)) return {Caller::Throttled, std::nullopt, locked};
    // Both must be right when both are given.
    if ((fromQuery && !token_.matches(*fromQuery)) || (fromHeader && !token_.matches(*fromHeader))) {
      recordFailure(request, records);
      return {Caller::WrongToken, std::nullopt};
    }
    return {fromQuery ? Caller::QueryToken : Caller::Script, std::nullopt};
  }
  if (const auto id = sessionCookieValue(request)) {
    if (auto session = records.findSession(*id, request.arrivalMillis)) return {Caller::Browser, std::move(session)};
  }
  return {Caller::Nobody, std::nullopt};
}

std::optional<DashboardSession> DashboardAccess::signIn(const HttpRequest& request, std::string_view candidate,
                                                        AccessRecords& records) {
  pruneNowAndThen(records, request.arrivalMillis);
  if (lockedFor(request, records) > 0) return std::nullopt;
  if (!token_.matches(candidate)) {
    recordFailure(request, records);
    return std::nullopt;
  }
  DashboardSession session{randomHex(kSessionIdBytes), randomHex(kSessionIdBytes),
                           request.arrivalMillis + settings_.sessionLifetimeMillis};
  records.saveSession(session, request.arrivalMillis);
  return session;
}

std::int64_t DashboardAccess::lockedFor(const HttpRequest& request, AccessRecords& records) {
  return records.lockedFor(addressKey(clientAddress(request)), request.arrivalMillis);
}

void DashboardAccess::pruneNowAndThen(AccessRecords& records, std::int64_t nowMillis) {
  constexpr std::int64_t kPruneEveryMillis = 60'000;
  std::int64_t last = lastPruneMillis_;
  if (nowMillis - last < kPruneEveryMillis || !lastPruneMillis_.compare_exchange_strong(last, nowMillis)) return;
  records.prune(nowMillis);
}

void DashboardAccess::recordFailure(const HttpRequest& request, AccessRecords& records) {
  const std::string key = addressKey(clientAddress(request));
  wrongTokens_.note("security: wrong dashboard token from " + key);
  if (records.recordFailure(key, request.arrivalMillis)) {
    logWarning("security: sign-in locked out for " + key + " for " +
               std::to_string(throttle_.windowMillis / 1000) + " s after repeated wrong tokens");
  }
}

std::string DashboardAccess::sessionCookie(const DashboardSession& session, const HttpRequest& request) const {
  const std::int64_t seconds = std::max<std::int64_t>(1, (session.expiresMillis - request.arrivalMillis) / 1000);
  return std::string(kCookieName) + "=" + session.id + "; Path=/; Max-Age=" + std::to_string(seconds) +
         "; HttpOnly; SameSite=Strict" + (overTls(request) ? "; Secure" : "");
}

std::string DashboardAccess::clearedCookie(const HttpRequest& request) const {
  return std::string(kCookieName) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict" +
         (overTls(request) ? "; Secure" : "");
}

bool DashboardAccess::isTrustedProxy(std::string_view address) const {
  return std::find(settings_.trustedProxies.begin(), settings_.trustedProxies.end(), address) !=
         settings_.trustedProxies.end();
}

// What the nearest proxy says: the last entry of all the lines.
bool DashboardAccess::overTls(const HttpRequest& request) const {
  if (!fromTrustedProxy(request)) return false;
  const auto entries = listEntries(request, "x-forwarded-proto");
  return !entries.empty() && entries.back() == "https";
}

std::string DashboardAccess::clientAddress(const HttpRequest& request) const {
  if (!fromTrustedProxy(request)) return request.peerAddress;
  const auto hops = listEntries(request, "x-forwarded-for");
  std::string_view earliest;
  for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
    if (hop->empty()) continue;
    if (!isTrustedProxy(*hop)) return std::string(*hop);
    earliest = *hop;
  }
  // Every hop is one of ours (or there are none): the earliest is the client.
  return earliest.empty() ? request.peerAddress : std::string(earliest);
}

std::string queryWithoutToken(std::string_view query) {
  std::string kept;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view field = query.substr(0, amp);
    query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
    const std::string_view name = field.substr(0, field.find('='));
    if (field.empty() || decodeFormComponent(name) == "token") continue;
    if (!kept.empty()) kept += '&';
    kept += field;
  }
  return kept;
}

}  // namespace zandle::service
