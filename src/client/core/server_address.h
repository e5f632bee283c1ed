// The server setting: "host", "host:port" or "[v6-address]:port".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zandle {

inline constexpr std::uint16_t kDefaultHttpPort = 80;

struct ServerAddress {
  std::u16string host;  // without brackets
  std::uint16_t port = kDefaultHttpPort;
};

// False for an empty host or a port that is not 1..65535. A bare IPv6 address
// (several colons, no brackets) is a host on the default port.
bool ParseServerAddress(std::u16string_view server, ServerAddress& address);

}  // namespace zandle
