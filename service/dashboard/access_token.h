// The master token that guards the dashboard, exports and configuration. It
// is only ever read from a request (sign-in form, "?token=", or
// "Authorization: Bearer"); pages, cookies and redirects never carry it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "http/http_request.h"

namespace zandle::service {

// Hex digits of `bytes` bytes from the kernel's random source.
std::string randomHex(std::size_t bytes);

class AccessToken {
 public:
  // Shorter tokens fall to guessing: throws std::invalid_argument.
  static constexpr std::size_t kMinimumLength = 16;
  explicit AccessToken(std::string token);

  // 32 hex digits.
  static std::string generate();

  bool matches(std::string_view candidate) const;

 private:
  std::string token_;
};

// Equal texts, compared in the same time wherever they first differ.
bool sameSecret(std::string_view a, std::string_view b);

// What the request offers after "Authorization: Bearer ", if anything.
std::optional<std::string> bearerToken(const HttpRequest& request);

}  // namespace zandle::service
