// Listening sockets and printable peer addresses.
#pragma once

#include <string>
#include <string_view>

#include <sys/socket.h>

namespace zandle::service {

// Binds and listens on "host:port" or "[v6]:port"; throws std::runtime_error.
// boundAddress receives the address actually bound, port included.
int openListeningSocket(std::string_view hostAndPort, std::string& boundAddress);

// Numeric address without port; IPv4-mapped IPv6 addresses come out as IPv4.
std::string numericAddress(const sockaddr_storage& address);

// The unit per-address limits count by: the IPv4 address, or the IPv6 /64,
// since one IPv6 subscriber commonly holds a whole /64.
std::string addressKey(const sockaddr_storage& address);

// The same unit for an address given as text (a forwarded client address);
// text that is no address comes back as it is, cut to a bounded length.
std::string addressKey(std::string_view numeric);

// Splits "host:port" or "[v6]:port"; the port is 0 (any free one) to 65535.
// Throws std::invalid_argument with a message for the user.
void splitListenAddress(std::string_view hostAndPort, std::string& host, std::string& port);

}  // namespace zandle::service
