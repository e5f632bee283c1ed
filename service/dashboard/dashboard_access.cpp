#include "dashboard/dashboard_access.h"

#include <algorithm>

#include "http/form_decoder.h"

namespace zandle::service {
namespace {

constexpr std::string_view kCookieName = "zandle_session";

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The last of a comma-separated header: what the nearest proxy added.
std::string_view lastListEntry(std::string_view list) {
  const std::size_t comma = list.rfind(',');
  return trimmed(comma == std::string_view::npos ? list : list.substr(comma + 1));
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

Identity DashboardAccess::identify(const HttpRequest& request) {
  const auto fromQuery = FormFields::parse(request.query).single("token");
  const auto fromHeader = bearerToken(request);
  if (fromQuery || fromHeader) {
    if (throttled(request)) return {Caller::Throttled, std::nullopt};
    // Both must be right when both are given.
    if ((fromQuery && !token_.matches(*fromQuery)) || (fromHeader && !token_.matches(*fromHeader))) {
      throttle_.recordFailure(clientAddress(request), request.arrivalMillis);
      return {Caller::WrongToken, std::nullopt};
    }
    return {fromQuery ? Caller::QueryToken : Caller::Script, std::nullopt};
  }
  if (const auto id = sessionCookieValue(request)) {
    if (auto session = sessions_.find(*id, request.arrivalMillis)) return {Caller::Browser, std::move(session)};
  }
  return {Caller::Nobody, std::nullopt};
}

std::optional<DashboardSession> DashboardAccess::signIn(const HttpRequest& request, std::string_view candidate) {
  if (throttled(request)) return std::nullopt;
  if (!token_.matches(candidate)) {
    throttle_.recordFailure(clientAddress(request), request.arrivalMillis);
    return std::nullopt;
  }
  return sessions_.open(request.arrivalMillis);
}

bool DashboardAccess::throttled(const HttpRequest& request) {
  return throttle_.blocked(clientAddress(request), request.arrivalMillis);
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

bool DashboardAccess::fromTrustedProxy(const HttpRequest& request) const {
  return std::find(settings_.trustedProxies.begin(), settings_.trustedProxies.end(), request.peerAddress) !=
         settings_.trustedProxies.end();
}

bool DashboardAccess::overTls(const HttpRequest& request) const {
  return fromTrustedProxy(request) && lastListEntry(request.header("x-forwarded-proto")) == "https";
}

std::string DashboardAccess::clientAddress(const HttpRequest& request) const {
  if (fromTrustedProxy(request)) {
    const std::string_view forwarded = lastListEntry(request.header("x-forwarded-for"));
    if (!forwarded.empty()) return std::string(forwarded);
  }
  return request.peerAddress;
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
