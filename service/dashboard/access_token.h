// The token that guards the dashboard, exports and configuration. Accepted as
// "Authorization: Bearer TOKEN", as a "token" query parameter, or as the
// cookie the login sets.
#pragma once

#include <string>
#include <string_view>

#include "http/http_request.h"

namespace zandle::service {

class AccessToken {
 public:
  explicit AccessToken(std::string token) : token_(std::move(token)) {}

  // 32 hex digits from the kernel's random source.
  static std::string generate();

  bool matches(std::string_view candidate) const;
  bool fromHeader(const HttpRequest& request) const;
  bool fromCookie(const HttpRequest& request) const;
  bool fromQuery(const HttpRequest& request) const;
  bool authorizes(const HttpRequest& request) const {
    return fromHeader(request) || fromCookie(request) || fromQuery(request);
  }

  // SameSite=Strict keeps other sites' pages from posting with it.
  std::string cookieHeaderValue() const;
  const std::string& value() const { return token_; }

 private:
  std::string token_;
};

}  // namespace zandle::service
