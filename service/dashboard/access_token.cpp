#include "dashboard/access_token.h"

#include <sys/random.h>

#include <stdexcept>
#include <vector>

namespace zandle::service {
namespace {

constexpr std::string_view kBearerPrefix = "Bearer ";
constexpr std::size_t kGeneratedBytes = 16;

}  // namespace

std::string randomHex(std::size_t bytes) {
  std::vector<unsigned char> random(bytes);
  if (getrandom(random.data(), bytes, 0) != static_cast<ssize_t>(bytes)) {
    throw std::runtime_error("no random bytes from the kernel");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : random) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

AccessToken::AccessToken(std::string token) : token_(std::move(token)) {
  if (token_.size() < kMinimumLength) {
    throw std::invalid_argument("the dashboard token must have at least " + std::to_string(kMinimumLength) +
                                " characters");
  }
}

std::string AccessToken::generate() { return randomHex(kGeneratedBytes); }

bool sameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

bool AccessToken::matches(std::string_view candidate) const { return sameSecret(candidate, token_); }

std::optional<std::string> bearerToken(const HttpRequest& request) {
  const std::string_view authorization = request.header("authorization");
  if (!authorization.starts_with(kBearerPrefix)) return std::nullopt;
  return std::string(authorization.substr(kBearerPrefix.size()));
}

}  // namespace zandle::service
