#include "dashboard/access_token.h"

#include <sys/random.h>

#include <stdexcept>

#include "http/form_decoder.h"

namespace zandle::service {
namespace {

constexpr std::string_view kCookieName = "zandle_token";
constexpr std::string_view kBearerPrefix = "Bearer ";
constexpr std::size_t kGeneratedBytes = 16;

}  // namespace

std::string AccessToken::generate() {
  unsigned char bytes[kGeneratedBytes];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    throw std::runtime_error("no random bytes for a token");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : bytes) {
    token += kHex[byte >> 4];
    token += kHex[byte & 0x0F];
  }
  return token;
}

bool AccessToken::matches(std::string_view candidate) const {
  // Same time whatever the first differing byte.
  if (token_.empty() || candidate.size() != token_.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token_.size(); ++i) {
    difference |= static_cast<unsigned char>(token_[i] ^ candidate[i]);
  }
  return difference == 0;
}

bool AccessToken::fromHeader(const HttpRequest& request) const {
  const std::string_view authorization = request.header("authorization");
  return authorization.starts_with(kBearerPrefix) && matches(authorization.substr(kBearerPrefix.size()));
}

bool AccessToken::fromCookie(const HttpRequest& request) const {
  for (const auto& [name, value] : request.headers) {
    if (name != "cookie") continue;
    std::string_view cookies = value;
    while (!cookies.empty()) {
      const std::size_t semicolon = cookies.find(';');
      std::string_view pair = cookies.substr(0, semicolon);
      cookies.remove_prefix(semicolon == std::string_view::npos ? cookies.size() : semicolon + 1);
      while (pair.starts_with(' ')) pair.remove_prefix(1);
      if (pair.starts_with(kCookieName) && pair.substr(kCookieName.size()).starts_with('=') &&
          matches(pair.substr(kCookieName.size() + 1))) {
        return true;
      }
    }
  }
  return false;
}

bool AccessToken::fromQuery(const HttpRequest& request) const {
  const auto token = FormFields::parse(request.query).single("token");
  return token && matches(*token);
}

std::string AccessToken::cookieHeaderValue() const {
  return std::string(kCookieName) + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace zandle::service
