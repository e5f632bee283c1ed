#include "client/core/server_address.h"

#include <algorithm>

namespace zandle {
namespace {

bool ParsePort(std::u16string_view text, std::uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  std::uint32_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

bool ParseServerAddress(std::u16string_view server, ServerAddress& address) {
  ServerAddress result;
  if (!server.empty() && server.front() == u'[') {
    const auto close = server.find(u']');
    if (close == std::u16string_view::npos) return false;
    result.host = server.substr(1, close - 1);
    const std::u16string_view rest = server.substr(close + 1);
    if (!rest.empty() && (rest.front() != u':' || !ParsePort(rest.substr(1), result.port))) return false;
  } else if (std::count(server.begin(), server.end(), u':') == 1) {
    const auto colon = server.find(u':');
    result.host = server.substr(0, colon);
    if (!ParsePort(server.substr(colon + 1), result.port)) return false;
  } else {
    result.host = server;
  }
  if (result.host.empty()) return false;
  address = std::move(result);
  return true;
}

}  // namespace zandle
